#include "host/gl_canvas.h"

#include "host/host_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef KORVANE_HOST_GL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <png.h>
#endif

namespace korvane::host {
namespace {

struct Canvas {
    bool tried = false;
    bool ready = false;
    std::string reason;
#ifdef KORVANE_HOST_GL
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
#endif
    int width = 0;
    int height = 0;
};

Canvas& TheCanvas() {
    static Canvas canvas;
    return canvas;
}

void SayCannotDraw(const std::string& reason) {
    Canvas& canvas = TheCanvas();
    canvas.reason = reason;
    std::fprintf(stderr, "korvane-host: cannot draw (%s); frames run without pixels\n", reason.c_str());
}

#ifdef KORVANE_HOST_GL

// The surfaceless platform needs neither a display server nor a GPU: Mesa renders in
// software into our own framebuffer object.
bool CreateContext(Canvas& canvas) {
    if (const char* off = std::getenv("KORVANE_HOST_NO_GL"); off && *off && *off != '0') {
        SayCannotDraw("drawing switched off by KORVANE_HOST_NO_GL");
        return false;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        SayCannotDraw("no EGL platform displays; install libegl-mesa0 and libgl1-mesa-dri");
        return false;
    }
    canvas.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (canvas.display == EGL_NO_DISPLAY || !eglInitialize(canvas.display, &major, &minor)) {
        SayCannotDraw("no surfaceless EGL display; install libegl-mesa0 and libgl1-mesa-dri");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        SayCannotDraw("EGL offers no desktop OpenGL");
        return false;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1, EGL_NONE};
    canvas.context = eglCreateContext(canvas.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (canvas.context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(canvas.display, EGL_NO_SURFACE, EGL_NO_SURFACE, canvas.context)) {
        SayCannotDraw("no OpenGL compatibility context");
        return false;
    }
    glGenFramebuffers(1, &canvas.framebuffer);
    glGenRenderbuffers(1, &canvas.colour);
    glGenRenderbuffers(1, &canvas.depth);
    // PyOpenGL in scripts finds the context through EGL, not GLX.
    ::setenv("PYOPENGL_PLATFORM", "egl", 0);
    return true;
}

void SizeFramebuffer(Canvas& canvas, int width, int height) {
    glBindFramebuffer(GL_FRAMEBUFFER, canvas.framebuffer);
    if (canvas.width == width && canvas.height == height) return;
    glBindRenderbuffer(GL_RENDERBUFFER, canvas.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, canvas.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, canvas.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, canvas.depth);
    canvas.width = width;
    canvas.height = height;
}

bool Ready() {
    Canvas& canvas = TheCanvas();
    if (!canvas.tried) {
        canvas.tried = true;
        canvas.ready = CreateContext(canvas);
    }
    return canvas.ready;
}

#endif

}  // namespace

bool ScreenCanDraw() {
#ifdef KORVANE_HOST_GL
    return Ready();
#else
    Canvas& canvas = TheCanvas();
    if (!canvas.tried) {
        canvas.tried = true;
        SayCannotDraw("built without OpenGL; install libegl-dev, libopengl-dev and libpng-dev and build again");
    }
    return false;
#endif
}

std::string ScreenCannotDrawReason() {
    ScreenCanDraw();
    return TheCanvas().reason;
}

bool MakeScreenCurrent() {
#ifdef KORVANE_HOST_GL
    if (!Ready()) return false;
    Canvas& canvas = TheCanvas();
    if (eglGetCurrentContext() != canvas.context &&
        !eglMakeCurrent(canvas.display, EGL_NO_SURFACE, EGL_NO_SURFACE, canvas.context))
        return false;
    const int width = std::max(1, State().screenWidth);
    const int height = std::max(1, State().screenHeight);
    SizeFramebuffer(canvas, width, height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
#else
    return ScreenCanDraw();
#endif
}

bool BeginScreenFrame() {
    if (!MakeScreenCurrent()) return false;
#ifdef KORVANE_HOST_GL
    // The simulator's sky, plain.
    glClearColor(0.30f, 0.45f, 0.65f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
#endif
    return true;
}

ScreenPixels ReadScreen() {
    ScreenPixels pixels;
#ifdef KORVANE_HOST_GL
    if (!MakeScreenCurrent()) return pixels;
    Canvas& canvas = TheCanvas();
    pixels.width = canvas.width;
    pixels.height = canvas.height;
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(pixels.width) * pixels.height * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, pixels.width, pixels.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    pixels.rgba.resize(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(pixels.width) * 4;
    for (int y = 0; y < pixels.height; ++y)
        std::copy_n(&bottomUp[(pixels.height - 1 - y) * row], row, &pixels.rgba[y * row]);
    // The picture is opaque whatever alpha the drawing left behind.
    for (std::size_t i = 3; i < pixels.rgba.size(); i += 4) pixels.rgba[i] = 255;
#endif
    return pixels;
}

bool WriteScreenPng(const std::filesystem::path& file, std::string* error) {
#ifdef KORVANE_HOST_GL
    const ScreenPixels pixels = ReadScreen();
    if (pixels.rgba.empty()) {
        if (error) *error = "cannot draw: " + ScreenCannotDrawReason();
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.width);
    image.height = static_cast<png_uint_32>(pixels.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, file.c_str(), 0, pixels.rgba.data(), 0, nullptr)) {
        if (error) *error = std::string("cannot write '") + file.string() + "': " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
#else
    if (error) *error = "cannot draw: " + ScreenCannotDrawReason();
    (void)file;
    return false;
#endif
}

}  // namespace korvane::host
