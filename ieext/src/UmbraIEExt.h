#pragma once
// The COM identity of UmbraIEExt.dll: the UmbraBHO class, its dual interface IUmbraBHO
// (IDispatch and nothing more: events arrive through Invoke) and the type library
// UMBRAIEEXTLib that describes them.

#include <platform/OleAuto.h>

namespace ieext {

inline constexpr CLSID CLSID_UmbraBHO{
    0x1380FB6B, 0x41A0, 0x46B3, {0x8D, 0xCA, 0x7F, 0x01, 0xF6, 0xE2, 0x0F, 0x17}};
inline constexpr IID IID_IUmbraBHO{
    0xAD3A3660, 0x016C, 0x43DA, {0xB2, 0xB3, 0x2A, 0x9D, 0x15, 0xB6, 0x9D, 0xFE}};
inline constexpr GUID LIBID_UMBRAIEEXTLib{
    0x91217FBA, 0xA136, 0x49F2, {0x82, 0x9B, 0x53, 0xEB, 0x81, 0xB8, 0xB2, 0x43}};

inline constexpr const char* ProgId = "UmbraIEExt.UmbraBHO.1";
inline constexpr const char* VersionIndependentProgId = "UmbraIEExt.UmbraBHO";

struct IUmbraBHO : IDispatch {};

} // namespace ieext
