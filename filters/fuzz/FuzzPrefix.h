#pragma once
// The fuzzers' world: a temporary prefix whose registry switches every filter option
// on, with entries in every list, removed when the fuzzer ends.

namespace filters::fuzz {

// The local address the fuzzers pass to FilterRequest.
inline constexpr const char* LocalAddress = "10.0.0.1";

// Sets the prefix up once per process.
void preparePrefix();

} // namespace filters::fuzz
