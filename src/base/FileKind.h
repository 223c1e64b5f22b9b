#pragma once

#include <QString>

// The program chooses a reader by the last three characters of a file's name,
// compared without regard to case; the bytes are never sniffed for a type.
namespace kx {

enum class FileKind {
    Unknown,
    SingleRaw,        // .THR: one uncompressed frame
    SingleCompressed, // .THC: one compressed frame
    Movie,            // .THM: uncompressed frames
    CompressedMovie,  // .TMC: compressed frames
    Fusion,           // .TFC: compressed frames with daylight pictures
};

// The lower-cased last three characters, the key every reader dispatches on.
QString fileSuffixKey(const QString& fileName);
FileKind fileKindOf(const QString& fileName);
inline bool isSingleFrameKind(FileKind kind) {
    return kind == FileKind::SingleRaw || kind == FileKind::SingleCompressed;
}
// Kinds that hold a frame index (movies and fusion recordings).
inline bool isMovieKind(FileKind kind) {
    return kind == FileKind::Movie || kind == FileKind::CompressedMovie || kind == FileKind::Fusion;
}

} // namespace kx
