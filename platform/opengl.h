#pragma once
// The few immediate-mode OpenGL calls the control panel's widgets draw with. They are
// found in the host process when first needed, like the SDK's functions; a host without
// OpenGL (a headless one) simply gets no drawing from them.
namespace korvane::gl {

void Color4f(float r, float g, float b, float a);
void Color4fv(const float* rgba);
// A filled quad through four corners in order.
void Quad(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
void Line(int x1, int y1, int x2, int y2);

}  // namespace korvane::gl
