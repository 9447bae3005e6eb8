// PNG grading through libpng. libpng's errors leave by longjmp to its jump buffer and its
// warnings are dropped, so nothing is printed; a read past the bytes is an error like any other.

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "formats/PictureDecode.h"

namespace formats {
namespace {

/// Ancillary chunks libpng inflates (iCCP, zTXt, iTXt) stay below this.
constexpr png_alloc_size_t kMaxChunkBytes = 16 * 1024 * 1024;

struct PngGrading {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ByteSource* source = nullptr;
    std::uint64_t size = 0;
    std::uint64_t next = 0;
    std::vector<png_byte> row;
    bool headerRead = false;
    bool tooLarge = false;
    std::uint32_t rows = 0;
    std::uint32_t rowInPass = 0;  ///< the row being read in the current interlace pass
};

void failSilently(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void dropWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, png_size_t n) {
    auto& g = *static_cast<PngGrading*>(png_get_io_ptr(png));
    std::size_t got = 0;
    if (g.next <= g.size && n <= g.size - g.next)
        got = g.source->read(g.next, out, n);
    if (got != n)
        png_error(png, "the data ends before the picture does");
    g.next += n;
}

/// Every libpng read: true when the picture decoded to IEND. Its only local is g, so a longjmp
/// back here clobbers nothing.
bool decodeAll(PngGrading& g) {
    if (setjmp(png_jmpbuf(g.png)) != 0)
        return false;
    png_set_read_fn(g.png, &g, readBytes);
    png_set_chunk_malloc_max(g.png, kMaxChunkBytes);
    png_read_info(g.png, g.info);
    g.rows = png_get_image_height(g.png, g.info);
    g.headerRead = true;
    if (std::uint64_t{png_get_image_width(g.png, g.info)} * g.rows > kMaxDecodedPixels) {
        g.tooLarge = true;
        return false;
    }
    const int passes = png_set_interlace_handling(g.png);
    png_read_update_info(g.png, g.info);
    g.row.resize(png_get_rowbytes(g.png, g.info));
    for (int pass = 0; pass < passes; ++pass)
        for (g.rowInPass = 0; g.rowInPass < g.rows; ++g.rowInPass)
            png_read_row(g.png, g.row.data(), nullptr);
    png_read_end(g.png, nullptr);
    return true;
}

}  // namespace

std::optional<PictureGrade> decodePngGrade(ByteSource& source, std::uint64_t size) {
    PngGrading g;
    g.source = &source;
    g.size = size;
    g.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failSilently, dropWarning);
    if (g.png == nullptr)
        return std::nullopt;
    g.info = png_create_info_struct(g.png);
    const bool madeInfo = g.info != nullptr;
    const bool whole = madeInfo && decodeAll(g);
    png_destroy_read_struct(&g.png, &g.info, nullptr);
    if (!madeInfo || g.tooLarge)
        return std::nullopt;
    return decodedGrade(whole, g.headerRead ? g.rows : 0, g.rowInPass);
}

}  // namespace formats
