#pragma once

#include <cstdint>

namespace hy {

// The interface GUID that Android debug bridge drivers register.
constexpr const char *ANDROID_INTERFACE_GUID = "{f72fe0d4-cbcb-407d-8814-9ed673d0dd6b}";

// True for the (vendor, product) pairs of Android debug interfaces that the generator knows.
bool is_android_device(uint16_t vendorId, uint16_t productId);

} // namespace hy
