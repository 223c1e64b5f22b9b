#pragma once

#include "export/AviWriter.h"
#include "export/FffSequence.h"
#include "export/FormatRegistry.h"

// The registry's writers for radiometric JPEGs, FFF sequences, temperature
// tables and MJPEG movies.
namespace kx {

// frame name + ".jpg": the converted frame with its FFF block.
class RadiometricJpegFormat : public FormatWriter {
public:
    Picture picture() const override { return Picture::Converted; }
    MetaDataCall metaDataCall(const ExportFrame& frame,
                              const ExportContext& context) const override;
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
};

// frame name + "." + the key as given: one temperature per pixel.
class TemperatureCsvFormat : public FormatWriter {
public:
    Picture picture() const override { return Picture::None; }
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
};

// base + ".seq": the FFF blocks of every frame, one after the other.
class FffSequenceFormat : public FormatWriter {
public:
    Picture picture() const override { return Picture::None; }
    MetaDataCall metaDataCall(const ExportFrame&, const ExportContext&) const override {
        return {false, QString(), QString(), QString()};
    }
    bool begin(const ExportContext& context, QString& error) override;
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
    bool append(const QByteArray& payload, QString& error) override;
    bool finish(const ExportContext& context, bool completed, QString& error) override;

private:
    FffSequenceWriter sequence;
};

// base + "." + the lower-cased key: every frame as a JPEG of a movie at 9
// frames per second, sized by the first frame written.
class AviFormat : public FormatWriter {
public:
    MetaDataCall metaDataCall(const ExportFrame& frame,
                              const ExportContext& context) const override;
    bool begin(const ExportContext& context, QString& error) override;
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
    bool append(const QByteArray& payload, QString& error) override;
    bool finish(const ExportContext& context, bool completed, QString& error) override;

private:
    AviWriter movie;
};

// "meta_only": nothing but the meta data side files.
class MetaOnlyFormat : public FormatWriter {
public:
    Picture picture() const override { return Picture::None; }
    bool encode(const ExportFrame&, const ExportContext&, EncodedFrame&, QString&) const override {
        return true;
    }
    MetaDataCall metaDataCall(const ExportFrame& frame, const ExportContext&) const override {
        return {true, frame.frameBase, QStringLiteral(".csv"), QString()};
    }
};

} // namespace kx
