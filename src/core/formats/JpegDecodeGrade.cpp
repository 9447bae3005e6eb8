// JPEG grading through libjpeg. libjpeg reports errors by calling error_exit and warnings by
// emit_message; both leave by longjmp here, so nothing is printed, nothing exits, and the first
// sign of damage ends the decode with the rows read so far.

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <vector>

#include "formats/PictureDecode.h"

namespace formats {
namespace {

constexpr std::size_t kInputChunk = 64 * 1024;
/// What libjpeg may allocate: a progressive picture holds all its coefficients, 128 bytes per
/// 8x8 block; past this libjpeg fails (it has no backing store) and the structure walk grades.
constexpr long kMaxDecoderMemory = 256L * 1024 * 1024;
/// Real progressive files use about ten scans; a crafted one could ask for thousands of passes
/// over the whole picture.
constexpr int kMaxScans = 256;

struct JpegGrading {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    jpeg_source_mgr src{};
    jpeg_progress_mgr progress{};
    std::jmp_buf escape{};
    ByteSource* source = nullptr;
    std::uint64_t size = 0;
    std::uint64_t next = 0;  ///< the next byte of the source to hand libjpeg
    std::vector<std::uint8_t> input;
    bool headerRead = false;
    bool outOfMemory = false;
    std::uint32_t rowsBeforeDamage = 0;
    std::uint64_t reached = 0;  ///< bytes the decoder had taken in when the damage was met
};

JpegGrading& grading(j_common_ptr cinfo) { return *static_cast<JpegGrading*>(cinfo->client_data); }

/// Rows whose data the input side had read completely when the damage was met, in its scan.
std::uint32_t rowsReadSoFar(const jpeg_decompress_struct& c) {
    const std::uint64_t rows = std::uint64_t{c.input_iMCU_row} * static_cast<unsigned>(c.max_v_samp_factor) * DCTSIZE;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(rows, c.image_height));
}

[[noreturn]] void leave(j_common_ptr cinfo) {
    JpegGrading& g = grading(cinfo);
    if (g.headerRead)
        g.rowsBeforeDamage = rowsReadSoFar(g.cinfo);
    g.reached = g.next - std::min<std::uint64_t>(g.next, g.src.bytes_in_buffer);
    std::longjmp(g.escape, 1);
}

void errorExit(j_common_ptr cinfo) {
    const int code = cinfo->err->msg_code;
    grading(cinfo).outOfMemory = code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE;
    leave(cinfo);
}

void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return;  // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
    case JWRN_BOGUS_PROGRESSION:
        return;  // odd metadata or scan order, no pixel lost
    default:
        leave(cinfo);  // corrupt data, a premature end
    }
}

void outputMessage(j_common_ptr) {}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    JpegGrading& g = grading(reinterpret_cast<j_common_ptr>(cinfo));
    std::size_t got = 0;
    if (g.next < g.size)
        got = g.source->read(g.next, g.input.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kInputChunk, g.size - g.next)));
    if (got == 0)
        leave(reinterpret_cast<j_common_ptr>(cinfo));  // the data ends before the picture does
    g.next += got;
    cinfo->src->next_input_byte = g.input.data();
    cinfo->src->bytes_in_buffer = got;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0)
        return;
    const auto n = static_cast<std::uint64_t>(count);
    jpeg_source_mgr& src = *cinfo->src;
    if (n <= src.bytes_in_buffer) {
        src.next_input_byte += n;
        src.bytes_in_buffer -= n;
        return;
    }
    JpegGrading& g = grading(reinterpret_cast<j_common_ptr>(cinfo));
    g.next += std::min<std::uint64_t>(n - src.bytes_in_buffer, g.size - std::min(g.next, g.size));
    src.bytes_in_buffer = 0;
}

void limitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        leave(cinfo);
}

/// Every libjpeg call: true when the picture decoded to its end. Its only local is g, so a
/// longjmp back here clobbers nothing.
bool decodeAll(JpegGrading& g) {
    if (setjmp(g.escape) != 0)
        return false;
    jpeg_decompress_struct& c = g.cinfo;
    jpeg_create_decompress(&c);
    c.mem->max_memory_to_use = kMaxDecoderMemory;
    c.src = &g.src;
    c.progress = &g.progress;
    if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK)
        leave(reinterpret_cast<j_common_ptr>(&c));  // tables only, no picture
    g.headerRead = true;
    c.scale_num = 1;
    c.scale_denom = 8;
    c.dct_method = JDCT_IFAST;
    c.do_fancy_upsampling = FALSE;
    c.do_block_smoothing = FALSE;
    if (c.jpeg_color_space == JCS_YCbCr || c.jpeg_color_space == JCS_GRAYSCALE)
        c.out_color_space = JCS_GRAYSCALE;  // the colour planes are still entropy-decoded
    jpeg_start_decompress(&c);
    JSAMPARRAY row = (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE,
                                            c.output_width * static_cast<unsigned>(c.output_components), 1);
    while (c.output_scanline < c.output_height)
        jpeg_read_scanlines(&c, row, 1);
    jpeg_finish_decompress(&c);
    return true;
}

}  // namespace

std::optional<PictureGrade> decodeJpegGrade(ByteSource& source, std::uint64_t size, std::uint64_t* reached) {
    JpegGrading g;
    g.source = &source;
    g.size = size;
    g.input.resize(kInputChunk);
    g.cinfo.err = jpeg_std_error(&g.err);
    g.err.error_exit = errorExit;
    g.err.emit_message = emitMessage;
    g.err.output_message = outputMessage;
    g.cinfo.client_data = &g;
    g.src.init_source = initSource;
    g.src.fill_input_buffer = fillInput;
    g.src.skip_input_data = skipInput;
    g.src.resync_to_restart = jpeg_resync_to_restart;
    g.src.term_source = termSource;
    g.progress.progress_monitor = limitScans;

    const bool whole = decodeAll(g);
    if (reached != nullptr)
        *reached = whole ? size : g.reached;
    const std::uint32_t rows = g.headerRead ? g.cinfo.image_height : 0;
    jpeg_destroy_decompress(&g.cinfo);
    if (g.outOfMemory && g.headerRead)
        return std::nullopt;
    return decodedGrade(whole, rows, g.rowsBeforeDamage);
}

}  // namespace formats
