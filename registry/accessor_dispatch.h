#pragma once
// The twelve native accessor functions Korvane publishes a script's data reference
// with. The host's refcon is the accessor's read or write table; each function finds
// its entry by that address alone (the table may already be gone), checks that the
// callable is a bound method of the enabled script that registered it, calls it, and
// moves values and arrays between the host's memory and Python.
#include <XPLMDataAccess.h>

namespace korvane::dispatch {

int GetDatai(void* table);
void SetDatai(void* table, int value);
float GetDataf(void* table);
void SetDataf(void* table, float value);
double GetDatad(void* table);
void SetDatad(void* table, double value);
int GetDatavi(void* table, int* values, int offset, int max);
void SetDatavi(void* table, int* values, int offset, int count);
int GetDatavf(void* table, float* values, int offset, int max);
void SetDatavf(void* table, float* values, int offset, int count);
int GetDatab(void* table, void* bytes, int offset, int maxLength);
void SetDatab(void* table, void* bytes, int offset, int length);

}  // namespace korvane::dispatch
