#include "engine/Cfft.h"

Cfft::Cfft(int size, bool complex, int window) : m_IsComplex(complex), m_WindowType(window) {
  Size = size;
}
Cfft::~Cfft() = default;
bool Cfft::CalcSpectrum(double*, double, int, bool, int*) { return true; }
void Cfft::CalcPower(double*, double*) {}
void Cfft::TransformReal(double*) {}
void Cfft::TransformComplex(double*) {}
