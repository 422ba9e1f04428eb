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
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

#include <map>

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

bool ScreenIsCurrent() {
#ifdef KORVANE_HOST_GL
    const Canvas& canvas = TheCanvas();
    return canvas.ready && eglGetCurrentContext() == canvas.context;
#else
    return false;
#endif
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

void EndScreenFrame() {
#ifdef KORVANE_HOST_GL
    if (MakeScreenCurrent()) glFlush();
#endif
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

namespace korvane::host {

#ifdef KORVANE_HOST_GL
namespace {

// One monospaced face, rasterised once per pixel height into an alpha texture of
// printable ASCII; other bytes draw as '?'.
struct Glyph {
    float u0, v0, u1, v1;
    int width, height, left, top;
};
struct Atlas {
    GLuint texture = 0;
    Glyph glyphs[95]{};
};

const char* FontFile() {
    if (const char* file = std::getenv("KORVANE_HOST_FONT"); file && *file) return file;
    return "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
}

const Atlas* AtlasFor(int pixelHeight) {
    static std::map<int, Atlas> atlases;
    static FT_Library library = nullptr;
    static FT_Face face = nullptr;
    static bool failed = false;
    if (auto found = atlases.find(pixelHeight); found != atlases.end()) return &found->second;
    if (failed) return nullptr;
    if (!face && (FT_Init_FreeType(&library) || FT_New_Face(library, FontFile(), 0, &face))) {
        failed = true;
        std::fprintf(stderr, "korvane-host: no font at %s (install fonts-dejavu-core); text is not drawn\n",
                     FontFile());
        return nullptr;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight));
    const int cell = pixelHeight + 2;
    const int columns = 16, rows = 6;
    const int width = columns * cell, height = rows * cell;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height, 0);
    Atlas atlas;
    for (int c = 32; c < 127; ++c) {
        Glyph& glyph = atlas.glyphs[c - 32];
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER)) continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        const int w = std::min<int>(static_cast<int>(bitmap.width), cell);
        const int h = std::min<int>(static_cast<int>(bitmap.rows), cell);
        const int cx = ((c - 32) % columns) * cell, cy = ((c - 32) / columns) * cell;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[static_cast<std::size_t>(cy + y) * width + cx + x] = bitmap.buffer[y * bitmap.pitch + x];
        glyph = {static_cast<float>(cx) / width, static_cast<float>(cy) / height, static_cast<float>(cx + w) / width,
                 static_cast<float>(cy + h) / height, w, h, face->glyph->bitmap_left, face->glyph->bitmap_top};
    }
    glGenTextures(1, &atlas.texture);
    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glBindTexture(GL_TEXTURE_2D, atlas.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, width, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, pixels.data());
    glPopClientAttrib();
    glPopAttrib();
    return &atlases.emplace(pixelHeight, atlas).first->second;
}

// Lines of at most `columns` characters, broken after spaces where it can be.
std::vector<std::string> WrapLines(const std::string& text, int columns) {
    std::vector<std::string> lines;
    std::string rest = text;
    while (columns > 0 && static_cast<int>(rest.size()) > columns) {
        std::size_t cut = rest.rfind(' ', static_cast<std::size_t>(columns));
        if (cut == std::string::npos || cut == 0) cut = static_cast<std::size_t>(columns);
        lines.push_back(rest.substr(0, cut));
        rest.erase(0, rest[cut] == ' ' ? cut + 1 : cut);
    }
    lines.push_back(rest);
    return lines;
}

}  // namespace
#endif

void FillRect(int left, int bottom, int right, int top, const float* rgba) {
#ifdef KORVANE_HOST_GL
    if (!ScreenIsCurrent()) return;
    left = WithinReach(left), bottom = WithinReach(bottom), right = WithinReach(right), top = WithinReach(top);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(rgba);
    glRecti(std::min(left, right), std::min(bottom, top), std::max(left, right) + 1, std::max(bottom, top) + 1);
    glPopAttrib();
#else
    (void)left, (void)bottom, (void)right, (void)top, (void)rgba;
#endif
}

void FrameRect(int left, int bottom, int right, int top, const float* rgba) {
    const int l = std::min(left, right), r = std::max(left, right);
    const int b = std::min(bottom, top), t = std::max(bottom, top);
    FillRect(l, b, r, b, rgba);
    FillRect(l, t, r, t, rgba);
    FillRect(l, b, l, t, rgba);
    FillRect(r, b, r, t, rgba);
}

void DrawText(const float* rgb, int x, int y, const std::string& text, int wrapWidth, int pixelHeight, int advance) {
#ifdef KORVANE_HOST_GL
    if (!ScreenIsCurrent() || pixelHeight <= 0 || advance <= 0) return;
    x = WithinReach(x), y = WithinReach(y);
    const Atlas* atlas = AtlasFor(pixelHeight);
    if (!atlas) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, atlas->texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(rgb[0], rgb[1], rgb[2], 1.0f);
    glBegin(GL_QUADS);
    int baseline = y;
    for (const std::string& line : WrapLines(text, wrapWidth > 0 ? std::max(1, wrapWidth / advance) : 0)) {
        int pen = x;
        for (unsigned char c : line) {
            if (c < 32) continue;  // line ends and other controls take no room
            const Glyph& g = atlas->glyphs[(c < 127 ? c : '?') - 32];
            const int gx = pen + g.left, gy = baseline + g.top;
            glTexCoord2f(g.u0, g.v0), glVertex2i(gx, gy);
            glTexCoord2f(g.u1, g.v0), glVertex2i(gx + g.width, gy);
            glTexCoord2f(g.u1, g.v1), glVertex2i(gx + g.width, gy - g.height);
            glTexCoord2f(g.u0, g.v1), glVertex2i(gx, gy - g.height);
            pen += advance;
        }
        baseline -= pixelHeight;
    }
    glEnd();
    glPopAttrib();
#else
    (void)rgb, (void)x, (void)y, (void)text, (void)wrapWidth, (void)pixelHeight, (void)advance;
#endif
}

}  // namespace korvane::host
