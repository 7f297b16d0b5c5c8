#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

    // --- The loader link (BSLLink.cpp) ---
    // Results: positive for success, negative codes as listed with each.

    // The application's progress callback for the long operations: total,
    // done, phase (1 while working, 2 once at the end), event ('X' flash
    // erase, 'W' transfer). Answering false stops the operation with -40.
    // Called only while the link's progress flag is set.
    using ProgressCallback = std::function<bool(unsigned total, unsigned done, int phase, char event)>;
    void SetProgressCallback(ProgressCallback callback) { progressCallback_ = std::move(callback); }

    // Opens the port at 9600 baud, has the firmware start its loader and
    // connects at loaderBaud, each step tried up to tries times. Returns the
    // loader version; -10 without a port name; -110, -112, -22, -1, -21 or a
    // channel code on failure (the port is closed again then).
    int BSLConnect(const char* portName, int loaderBaud, bool progress, unsigned tries);
    // Closes the link's port and waits 100 ms: OSClose's result, 0 when the
    // link was not open.
    int BSLClose();
    // Looks for a loader already listening on the port at baud (opening the
    // port when the link is not open, and leaving it open): -80 connected and
    // active, -81 waiting for a connection, -21 no answer, or a channel code.
    int BSLCheck(const char* portName, int baud);
    // On the open port: "boot KRAB" to the firmware at 9600 baud, then the
    // loader's prompt and connection at loaderBaud. Returns 1 (also when the
    // loader was found connected already), -22 with tries 0, -110, -112 or a
    // channel code.
    int BSLInvocation(int loaderBaud);
    // One command frame and its answer. answer receives at most 20
    // characters and a NUL (answerSize bounds it). Returns the number of
    // answer characters when the loader acknowledged; -1 refused; -10 a
    // missing argument; -11 too many numbers or characters, or a number that
    // does not fit its digits; -21 link not open or no answer; a channel code.
    // Numbers form: "%04X" per number, "%05X" in five-digit mode.
    int BSLCommand(char letter, const std::uint32_t* numbers, unsigned count, char endChar, char* answer,
                   unsigned answerSize, long* elapsedMs, bool fiveDigit);
    // Text form: the characters as given; only "g" may go without text.
    int BSLCommand(char letter, const char* text, unsigned length, char endChar, char* answer, unsigned answerSize,
                   long* elapsedMs);

    // Sets the progress flag and the tries that BSLConnect otherwise sets
    // (for a link that BSLCheck opened).
    void SetLinkOptions(bool progress, unsigned tries)
    {
        progress_ = progress;
        tries_ = tries;
    }
    bool LinkOpen() const { return linkOpen_; }
    bool ProgressOn() const { return progress_; }
    unsigned Tries() const { return tries_; }
    std::int32_t LoaderVersion() const { return loaderVersion_; }

    // --- Erase and transfer (BSLTransfer.cpp) ---
    // Each frame is tried up to the link's tries, 175 ms apart. They return
    // the last command's positive result (0 when there was nothing to do) or
    // the first negative one.

    // Erases count INFO segments of size bytes from start.
    int BSLEraseINFO(std::uint32_t start, unsigned count, unsigned size, bool fiveDigit);
    // Erases the main flash from start to end (exclusive) in 512-byte steps,
    // never touching 0xFA00 to 0xFFFF. -11 when start lies there.
    int BSLEraseFlash(std::uint32_t start, std::uint32_t end, bool fiveDigit);
    // Sets the loader's write address. -11 for an address that does not fit
    // four digits (five in five-digit mode).
    int BSLSendAddress(std::uint32_t address, bool fiveDigit);
    // Sends the image held: "@" for each segment, then "W" frames of up to
    // 512 characters. -10 no image; -11 an image not starting with "@" or a
    // segment address that cannot be sent in this mode; -40 stopped by the
    // progress callback.
    int BSLSendFirmware(bool fiveDigit);
    // Writes the 16 vector words (four digits each); the instrument then
    // restarts into its new firmware.
    int BSLSendVectors();

    static constexpr const char* kLogTag = "OrvaBSL";
    static constexpr std::size_t kCommandBufferSize = 544;

protected:
    // The link's frame buffers (kCommandBufferSize bytes each; null only when
    // Status() is -60).
    char* CommandBuffer() { return commandBuffer_.get(); }
    char* ChunkBuffer() { return chunkBuffer_.get(); }

private:
    int Exchange(char letter, const char* payload, unsigned length, char endChar, char* answer, unsigned answerSize,
                 long* elapsedMs);
    int TryNumber(char letter, std::uint32_t number, bool fiveDigit);
    int SendChunk(const char* chunk, unsigned length, std::uint32_t address, bool fiveDigit);
    bool Report(unsigned total, unsigned done, int phase, char event);

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

    // The loader link.
    bool linkOpen_ = false;
    bool progress_ = false;
    unsigned tries_ = 1;
    std::int32_t loaderVersion_ = 0;
    ProgressCallback progressCallback_;
};
