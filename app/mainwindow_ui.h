// The generated form class, for code outside appcore (tests) that reaches
// the window's widgets through MainWindow::ui. Include this rather than the
// generated header itself, so that the including target does not run the
// form compiler on its own.
#pragma once

#include "ui_mainwindow.h"
