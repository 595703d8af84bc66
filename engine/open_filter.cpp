#include "engine/open_filter.h"

#include "app/numeric.h"

namespace tamsel {

std::wstring BuildOpenFilter(const std::wstring& allPicturesFilter) {
    return L"全てのファイル (*.*)|*.*|全ての画像ファイル|" + allPicturesFilter + L";*.jpg;*.jpeg;*.gif" +
           L"|ビットマップファイル (*.BMP)|*.bmp" + L"|JPEGファイル (*.JPG, *.JPEG)|*.jpg;*.jpeg";
}

std::wstring LoadProgressCaption(int32_t value, int32_t max) {
    std::wstring text = L"Load ...";
    if (max <= 0) return text;
    auto product = CheckedMul32(value, 100);
    if (!product) return text;
    return text + std::to_wstring(*product / max) + L"%";
}

}  // namespace tamsel
