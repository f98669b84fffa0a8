#pragma once
// The test-only in-process server ComSample.dll: one aggregatable class with a dual
// interface described by a compiled-in type library. Each method notes its call, which
// the tests read back through the module's ComSampleLastCall export.

#include <platform/OleAuto.h>

// {A4FB8EA9-190F-4CEA-8258-84D385F5CB5F}
inline constexpr CLSID CLSID_Sample{
    0xA4FB8EA9, 0x190F, 0x4CEA, {0x82, 0x58, 0x84, 0xD3, 0x85, 0xF5, 0xCB, 0x5F}};
// {4BCB60F3-E904-4B35-9B3A-2F53410F861C}
inline constexpr IID IID_ISample{
    0x4BCB60F3, 0xE904, 0x4B35, {0x9B, 0x3A, 0x2F, 0x53, 0x41, 0x0F, 0x86, 0x1C}};
// {9C83535B-6D44-478E-83A5-9958473798F1}
inline constexpr GUID LIBID_SampleLib{
    0x9C83535B, 0x6D44, 0x478E, {0x83, 0xA5, 0x99, 0x58, 0x47, 0x37, 0x98, 0xF1}};

struct ISample : IDispatch {
    virtual HRESULT Record(LONG number, char* text, UINT count) = 0; // id 1
    virtual HRESULT Measure(double factor, std::int16_t small, BYTE octet,
                            VARIANT_BOOL flag) = 0; // id 2
    virtual HRESULT Refuse() = 0;                   // id 3: S_FALSE
    virtual HRESULT Fail() = 0;                     // id 4: E_ACCESSDENIED
};

using ComSampleLastCallFn = const char* (*)();
