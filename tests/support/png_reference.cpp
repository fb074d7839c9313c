#include "support/png_reference.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace txtest {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

} // namespace

bool ReadPngReference(const std::string& path, RgbaImage* image, std::string* error) {
    std::string localError;
    std::string* message = error ? error : &localError;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *message = "cannot open " + path;
        return false;
    }
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, message, OnPngError, OnPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    // What the decoding fills lives on the heap behind a pointer that does not
    // change after setjmp, so a jump back here finds it intact.
    struct Decoded {
        std::vector<png_bytep> rows;
        RgbaImage image;
    };
    const std::unique_ptr<Decoded> decoded(new Decoded);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    RgbaImage& result = decoded->image;
    std::vector<png_bytep>& rows = decoded->rows;
    result.width = png_get_image_width(png, info);
    result.height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(result.width) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        *message = "unexpected row layout in " + path;
        return false;
    }
    result.rgba.resize(static_cast<size_t>(result.width) * result.height * 4);
    rows.resize(result.height);
    for (unsigned y = 0; y < result.height; ++y)
        rows[y] = result.rgba.data() + static_cast<size_t>(y) * result.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    *image = std::move(result);
    return true;
}

} // namespace txtest
