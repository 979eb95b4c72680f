// placeholder: written by the logging/run-viewer work
