#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// Why a file does not open as a recording, in the words the user reads under
// the error: the reader knows more than "Error while loading file".
namespace recordingfault {

// The reason for the first frame of a file whose first `size` bytes are at
// data (fewer when the file is shorter) and which holds fileSize bytes:
// "empty file", "no frame signature", "unsupported header version N", "header
// shorter than its length field: N of M bytes", or "last frame cut short" for a
// whole header with no frame after it. Reads nothing outside the span.
QString reasonFromBytes(const uint8_t* data, size_t size, int64_t fileSize);

// The same for a file on disk, or why it cannot be read.
QString reasonForFile(const QString& fileName);

} // namespace recordingfault
