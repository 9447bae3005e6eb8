// The PNG grade's decoder on arbitrary bytes: no crash, no leak, no unbounded allocation or time,
// nothing printed.
#include <cstddef>
#include <cstdint>

#include "formats/PictureDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    formats::SpanByteSource source({data, size});
    formats::decodePngGrade(source, size);
    return 0;
}
