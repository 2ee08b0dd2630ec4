// A tiny component module for the runtime's tests: one class, a calculator reached by late
// binding, created through the registry like any control.
#pragma once

#include "platform/com/Dispatch.h"

namespace tavo::test {

inline constexpr CLSID CLSID_TestCalculator{
    0x6E1A0F3C, 0x2B4D, 0x4C5E, {0x9F, 0x60, 0x71, 0x82, 0x93, 0xA4, 0xB5, 0xC6}};
inline constexpr char16_t kTestCalculatorProgId[] = u"TavoTest.Calculator";

// Its methods: Add(long, long) -> long; Greet(string) -> string; Fail() posts error
// information and fails with E_FAIL; Twice(long, out long).
inline constexpr DISPID kDispAdd = 1;
inline constexpr DISPID kDispGreet = 2;
inline constexpr DISPID kDispFail = 3;
inline constexpr DISPID kDispTwice = 4;

}  // namespace tavo::test
