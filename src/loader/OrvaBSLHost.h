#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "instrument/InstrumentKind.h"
#include "loader/BuiltInImage.h"
#include "loader/TITextImage.h"
#include "serial/OrvaSerial.h"

class OrvaLog;

// The loader host: a serial channel of its own that holds the firmware image
// programmed into an instrument through its bootstrap loader OrvaBSL. It starts with the image
// built into the updater; BSLLoadTIFile replaces it with a TI-Text file and
// BSLWriteTIFile dumps the image held.
//
// The image is kept as compact text, exactly what the transfer sends: "@" and
// five hex digits per segment, then 16-bit words as four hex digits each,
// high byte first; the 16 interrupt vector words (0xFFE0 to 0xFFFE) apart.
class OrvaBSLHost : public OrvaSerial {
public:
    // Sets up the host with the built-in image; read Status() afterwards.
    explicit OrvaBSLHost(OrvaLog* log);
    // The same with another built-in image (a damaged copy, in tests).
    OrvaBSLHost(OrvaLog* log, const BuiltInImage& builtIn);
    ~OrvaBSLHost() override;

    // 0, or the construction failure: -60 (no memory) or -101 (the built-in
    // image text has the wrong length or character sum). The image is loaded
    // either way.
    int Status() const { return status_; }

    // Replaces the image, vectors, title, kind and version with the TI-Text
    // file's. Returns 1; -100 for a file that is not usable TI-Text; -60 when
    // memory runs out; -10 without a path; minus the C library error number
    // when the file cannot be opened or read. A failure changes nothing.
    int BSLLoadTIFile(const char* path);

    // Writes the image held to a text file: each segment's marker on a line,
    // its digits in lines of 32, then @FFE0 and the 16 vector words in two
    // lines. Returns 1, -10 without a path, or minus the C library error
    // number when the file cannot be created or written.
    int BSLWriteTIFile(const char* path);

    // The image held.
    const char* Title() const { return title_; }
    InstrumentKind Kind() const { return kind_; }
    std::int32_t Version() const { return version_; }
    const char* ImageText() const { return imageText_ ? imageText_.get() : ""; }
    std::uint32_t ImageLength() const { return imageLength_; }
    const VectorTable& Vectors() const { return vectors_; }
    bool LoadedFromFile() const { return loadedFromFile_; }

    static constexpr const char* kLogTag = "OrvaBSL";
    static constexpr std::size_t kCommandBufferSize = 544;

protected:
    // The link's frame buffers (kCommandBufferSize bytes each; null only when
    // Status() is -60).
    char* CommandBuffer() { return commandBuffer_.get(); }
    char* ChunkBuffer() { return chunkBuffer_.get(); }

private:
    // Writes one line to the log with the loader host's tag.
    void Note(unsigned level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

    int status_ = 0;
    std::unique_ptr<char[]> commandBuffer_;
    std::unique_ptr<char[]> chunkBuffer_;

    char title_[kImageTitleMax + 1] = {};
    InstrumentKind kind_ = UNKNOWN;
    std::int32_t version_ = 0;
    std::unique_ptr<char[]> imageText_;
    std::uint32_t imageLength_ = 0;
    VectorTable vectors_{};
    bool loadedFromFile_ = false;
};
