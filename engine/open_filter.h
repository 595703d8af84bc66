#pragma once
// The open dialog's filter text and the "Load ..." progress caption.
#include <cstdint>
#include <string>

namespace tamsel {

std::wstring BuildOpenFilter(const std::wstring& allPicturesFilter);

// "Load ...42%"; with no usable maximum (0 or negative, or an overflowing
// product) just "Load ...".
std::wstring LoadProgressCaption(int32_t value, int32_t max);

}  // namespace tamsel
