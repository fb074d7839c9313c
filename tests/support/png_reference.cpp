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

// What the decoding fills. It lives on the heap and is reached through a
// pointer that does not change after setjmp, so a jump back finds it intact.
struct Decoded {
    std::vector<png_bytep> rows;
    RgbaImage image;
    char message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* decoded = static_cast<Decoded*>(png_get_error_ptr(png));
    std::snprintf(decoded->message, sizeof(decoded->message), "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Only plain pointers live in this frame, so nothing is lost when libpng
// jumps back into it.
bool Decode(FILE* file, Decoded* decoded) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, decoded, OnPngError, OnPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    RgbaImage& image = decoded->image;
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(image.width) * 4)
        png_error(png, "unexpected row layout");
    image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
    decoded->rows.resize(image.height);
    for (unsigned y = 0; y < image.height; ++y)
        decoded->rows[y] = image.rgba.data() + static_cast<size_t>(y) * image.width * 4;
    png_read_image(png, decoded->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool ReadPngReference(const std::string& path, RgbaImage* image, std::string* error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    const std::unique_ptr<Decoded> decoded(new Decoded);
    if (!Decode(file.get(), decoded.get())) {
        if (error) *error = path + ": " + decoded->message;
        return false;
    }
    *image = std::move(decoded->image);
    return true;
}

} // namespace txtest
