// The live series is drawn with OpenGL when this display can give us an
// OpenGL context: with a long run (hundreds of thousands of points) the
// default raster drawing makes every display tick's append and x-axis scroll
// cost tens of milliseconds to over a second, while the OpenGL path grows far
// more slowly (it still hands every point to the GPU, or to the software
// rasterizer where there is none). Without a context (the offscreen
// platform, a remote session without GL) the default drawing is kept. Either
// way every point stays in the series, and the chart and its snapshot look
// the same.
#include "chart_rendering.h"

#include <QGuiApplication>
#include <QLineSeries>
#include <QOffscreenSurface>
#include <QOpenGLContext>

namespace {

bool probeOpenGL()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid())
        return false;
    const bool current = context.makeCurrent(&surface);
    if (current)
        context.doneCurrent();
    return current;
}

} // namespace

bool openGLRenderingAvailable()
{
    static const bool available = probeOpenGL();
    return available;
}

void configureSeriesRendering(QLineSeries *series)
{
    series->setUseOpenGL(openGLRenderingAvailable());
}
