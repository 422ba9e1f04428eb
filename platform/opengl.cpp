#include "platform/opengl.h"

#include <dlfcn.h>

namespace korvane::gl {
namespace {

constexpr unsigned kLines = 0x0001;
constexpr unsigned kQuads = 0x0007;

struct Functions {
    void (*begin)(unsigned) = nullptr;
    void (*end)() = nullptr;
    void (*vertex2i)(int, int) = nullptr;
    void (*color4f)(float, float, float, float) = nullptr;
    void (*color4fv)(const float*) = nullptr;
    bool complete() const { return begin && end && vertex2i && color4f && color4fv; }
};

template <typename F>
void Resolve(F& function, const char* name) {
    function = reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

// Looked up again until all are found: the simulator may bring OpenGL up after the
// plug-in is loaded.
const Functions* Gl() {
    static Functions functions;
    if (!functions.complete()) {
        Resolve(functions.begin, "glBegin");
        Resolve(functions.end, "glEnd");
        Resolve(functions.vertex2i, "glVertex2i");
        Resolve(functions.color4f, "glColor4f");
        Resolve(functions.color4fv, "glColor4fv");
    }
    return functions.complete() ? &functions : nullptr;
}

}  // namespace

void Color4f(float r, float g, float b, float a) {
    if (const Functions* f = Gl()) f->color4f(r, g, b, a);
}

void Color4fv(const float* rgba) {
    if (const Functions* f = Gl()) f->color4fv(rgba);
}

void Quad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    const Functions* f = Gl();
    if (!f) return;
    f->begin(kQuads);
    f->vertex2i(x1, y1);
    f->vertex2i(x2, y2);
    f->vertex2i(x3, y3);
    f->vertex2i(x4, y4);
    f->end();
}

void Line(int x1, int y1, int x2, int y2) {
    const Functions* f = Gl();
    if (!f) return;
    f->begin(kLines);
    f->vertex2i(x1, y1);
    f->vertex2i(x2, y2);
    f->end();
}

}  // namespace korvane::gl
