#pragma once
// Turns the bytes of a plain-text file into UTF-8, detecting its encoding: a byte-order
// mark (UTF-8, UTF-16 LE/BE), valid UTF-8, UTF-16 without a mark, GB18030 (which holds
// GBK and GB2312) or Big5. Bytes that fit none of them are decoded as GB18030 with the
// bytes it cannot read dropped.

#include <string>
#include <string_view>

namespace krvl {

enum class Encoding { Utf8, Utf16LE, Utf16BE, Gb18030, Big5 };

// The encoding of the bytes, judged as described above. A byte-order mark found is
// reported through bomLength (0 when there is none).
Encoding DetectEncoding(std::string_view bytes, size_t* bomLength = nullptr);

// The bytes decoded to UTF-8 (without a byte-order mark). Undecodable bytes are dropped.
std::string DecodeToUtf8(std::string_view bytes);

}  // namespace krvl
