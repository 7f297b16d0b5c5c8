// make_standin_image: generates the stand-in firmware image that the updater
// carries in place of the maker's "Tallix 1.73 for hardware rev C".
//
//   make_standin_image --source OUT.cpp [--titext OUT.txt]
//
// --source writes the C++ source of kBuiltInImage (loader/BuiltInImage.h),
// compiled into the core library; --titext writes the same image as a TI-Text
// firmware file (checked in as tests/fixtures/TX-1-73.txt). The output is a
// pure function of this file: no clock, no randomness from outside, no
// floating point.
//
// The image is exact in everything the updater checks: title, kind 14, 16
// vector words, and a compact image text of kBuiltInImageTextLength characters
// whose character codes add up to kBuiltInImageTextSum, in four segments:
//
//   0x02600  0xC000 bytes   program: start-up code at 0x2600 (the reset
//                           vector), 15 interrupt stubs at 0x2640, generated
//                           functions, a string table
//   0x0FE00  0x100 bytes    constant table (the CRC-16/CCITT table's first
//                           128 entries), written with lower-case hex letters
//   0x10000  51590 bytes    more generated functions, then the pad area (the
//                           last 6144 bytes): data whose only purpose is to
//                           bring the text's character sum to the expected
//                           value; it comes out mostly 0xFF, like unused flash
//   0x0FFC0  32 bytes       the self-check block (loader/ImageSelfCheck.h):
//                           magic, version 173, kind 14, the three segments
//                           above as checked ranges, their CRC-32, and a
//                           balance word that settles the last part of the
//                           character sum once the CRC is known
//
// Vectors: 0xFFE0 to 0xFFFC point at the interrupt stubs 0x2640, 0x2644, ...;
// the reset vector 0xFFFE points at 0x2600. 2 * bytes + 6 per segment gives
// the text length: 2 * 101030 + 24 = 202084.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "loader/BuiltInImage.h"
#include "loader/ImageSelfCheck.h"

namespace {

constexpr const char* kTitle = "Tallix 1.73 for hardware rev C";
constexpr std::uint8_t kKind = 14;
constexpr std::uint16_t kVersion = 173;

struct Segment {
    std::uint32_t start;
    std::uint32_t size;
    bool lowerCase;
};

constexpr std::uint32_t kProgramStart = 0x02600, kProgramSize = 0xC000;
constexpr std::uint32_t kTableStart = 0x0FE00, kTableSize = 0x100;
constexpr std::uint32_t kExtraStart = 0x10000, kExtraSize = 51590;
constexpr std::uint32_t kPadSize = 6144;  // the end of the 0x10000 segment
constexpr std::uint32_t kHandlers = 0x2640;
constexpr std::uint32_t kStringTableSize = 0x600;

// In image-text order.
const Segment kSegments[4] = {
    {kProgramStart, kProgramSize, false},
    {kTableStart, kTableSize, true},
    {kExtraStart, kExtraSize, false},
    {kSelfCheckBlockAddress, kSelfCheckBlockSize, false},
};

class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }

private:
    std::uint32_t state_;
};

class Memory {
public:
    Memory() : bytes_(0x20000, 0xFF) {}
    void Word(std::uint32_t address, std::uint16_t value)
    {
        bytes_.at(address) = static_cast<std::uint8_t>(value);
        bytes_.at(address + 1) = static_cast<std::uint8_t>(value >> 8);
    }
    std::uint16_t Word(std::uint32_t address) const
    {
        return static_cast<std::uint16_t>(bytes_.at(address) | (bytes_.at(address + 1) << 8));
    }
    std::uint8_t& Byte(std::uint32_t address) { return bytes_.at(address); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Writes plausible code for the instrument's 16-bit CPU: functions that save
// registers, move, add, compare and test values in RAM and peripherals, jump
// and call earlier functions, restore and return. Returns the first function.
std::uint32_t EmitFunctions(Memory& memory, Random& random, std::uint32_t start, std::uint32_t end,
                            std::vector<std::uint16_t>& functions)
{
    const std::uint32_t first = start;
    std::uint32_t at = start;
    auto emit = [&](std::uint16_t word) {
        memory.Word(at, word);
        at += 2;
    };
    auto ram = [&]() { return static_cast<std::uint16_t>(0x1100 + 2 * random.Below(0x1000)); };
    auto peripheral = [&]() { return static_cast<std::uint16_t>(0x0100 + 2 * random.Below(0x80)); };
    auto reg = [&]() { return static_cast<std::uint16_t>(4 + random.Below(12)); };

    while (at + 128 <= end) {
        if (at < 0x10000) functions.push_back(static_cast<std::uint16_t>(at));
        emit(0x120A);  // push r10
        emit(0x120B);  // push r11
        const std::uint32_t count = 6 + random.Below(30);
        for (std::uint32_t i = 0; i < count; ++i) {
            switch (random.Below(12)) {
                case 0:  // mov #imm, Rn
                    emit(static_cast<std::uint16_t>(0x4030 | reg()));
                    emit(static_cast<std::uint16_t>(random.Below(0x100)));
                    break;
                case 1:  // mov &ram, Rn
                    emit(static_cast<std::uint16_t>(0x4210 | reg()));
                    emit(ram());
                    break;
                case 2:  // mov Rn, &ram
                    emit(static_cast<std::uint16_t>(0x4082 | (reg() << 8)));
                    emit(ram());
                    break;
                case 3:  // add Rs, Rd
                    emit(static_cast<std::uint16_t>(0x5000 | (reg() << 8) | reg()));
                    break;
                case 4:  // cmp #imm, Rn
                    emit(static_cast<std::uint16_t>(0x9030 | reg()));
                    emit(static_cast<std::uint16_t>(random.Below(0x40)));
                    break;
                case 5:  // bit.b #mask, &peripheral
                    emit(0xB0F2);
                    emit(static_cast<std::uint16_t>(1u << random.Below(8)));
                    emit(peripheral());
                    break;
                case 6:  // bis.b / bic.b #mask, &peripheral
                    emit(random.Below(2) ? 0xD0F2 : 0xC0F2);
                    emit(static_cast<std::uint16_t>(1u << random.Below(8)));
                    emit(peripheral());
                    break;
                case 7:  // jne / jeq forward
                    emit(static_cast<std::uint16_t>((random.Below(2) ? 0x2000 : 0x2400) | (1 + random.Below(6))));
                    break;
                case 8:  // call #earlier function
                    if (!functions.empty()) {
                        emit(0x12B0);
                        emit(functions[random.Below(static_cast<std::uint32_t>(functions.size()))]);
                    } else {
                        emit(0x4303);  // nop
                    }
                    break;
                case 9:  // clr Rn
                    emit(static_cast<std::uint16_t>(0x4300 | reg()));
                    break;
                case 10:  // mov @Rs+, Rd
                    emit(static_cast<std::uint16_t>(0x4030 | (reg() << 8) | reg()));
                    break;
                default:  // sub Rs, Rd
                    emit(static_cast<std::uint16_t>(0x8000 | (reg() << 8) | reg()));
                    break;
            }
        }
        emit(0x413B);  // pop r11
        emit(0x413A);  // pop r10
        emit(0x4130);  // ret
    }
    while (at < end)
        emit(0x4303);  // nop up to the end
    return first;
}

void EmitStrings(Memory& memory, std::uint32_t start, std::uint32_t end)
{
    static const char* const kStrings[] = {
        kTitle,          "TX 1.73",        "Code Good!",           "Code Corrupt!", "Tallix Reader",
        "Battery low",   "Sensor timeout", "SDI-12 ready",         "Clock not set", "Memory full",
        "Erasing data",  "Calibration OK", "Calibration lost",     "Press any key", "Measuring...",
        "Serial number", "Hardware rev C", "Corvane Devices, Inc",
    };
    std::uint32_t at = start;
    while (at < end) {
        for (const char* text : kStrings) {
            const std::size_t length = std::strlen(text) + 1;
            for (std::size_t i = 0; i < length && at < end; ++i)
                memory.Byte(at++) = static_cast<std::uint8_t>(text[i]);
        }
    }
}

// The character-code excess of a hex digit over '0' (upper case).
int DigitExcess(int nibble)
{
    return nibble < 10 ? nibble : nibble + 7;
}

// Adjusts the nibbles (digits) of bytes so that their upper-case digits add
// up to a changed sum: delta is what they must add. Returns the delta left
// (0 on success).
long AdjustNibbles(Memory& memory, std::uint32_t start, std::uint32_t size, long delta)
{
    for (std::uint32_t i = 0; i < 2 * size && delta != 0; ++i) {
        std::uint8_t& byte = memory.Byte(start + i / 2);
        const int shift = (i % 2) ? 0 : 4;
        const int nibble = (byte >> shift) & 0xF;
        // The digit that moves the sum furthest towards the goal without passing it.
        int best = nibble;
        long bestChange = 0;
        for (int candidate = 0; candidate < 16; ++candidate) {
            const long change = DigitExcess(candidate) - DigitExcess(nibble);
            const bool fits =
                delta > 0 ? (change > bestChange && change <= delta) : (change < bestChange && change >= delta);
            if (fits) {
                best = candidate;
                bestChange = change;
            }
        }
        delta -= bestChange;
        byte = static_cast<std::uint8_t>((byte & ~(0xF << shift)) | (best << shift));
    }
    return delta;
}

std::string CompactText(const Memory& memory)
{
    std::string text;
    char buffer[16];
    for (const Segment& segment : kSegments) {
        std::snprintf(buffer, sizeof buffer, "@%05X", segment.start);
        text += buffer;
        for (std::uint32_t a = segment.start; a < segment.start + segment.size; a += 2) {
            std::snprintf(buffer, sizeof buffer, segment.lowerCase ? "%04x" : "%04X", memory.Word(a));
            text += buffer;
        }
    }
    return text;
}

std::uint64_t CharacterSum(const std::string& text)
{
    std::uint64_t sum = 0;
    for (const char c : text)
        sum += static_cast<unsigned char>(c);
    return sum;
}

std::string TIText(const Memory& memory, const std::uint16_t (&vectors)[kVectorCount])
{
    std::string text;
    char buffer[16];
    for (const Segment& segment : kSegments) {
        std::snprintf(buffer, sizeof buffer, "@%X\n", segment.start);
        text += buffer;
        for (std::uint32_t a = segment.start; a < segment.start + segment.size; ++a) {
            const std::uint32_t column = (a - segment.start) % 16;
            std::snprintf(buffer, sizeof buffer, segment.lowerCase ? "%02x" : "%02X", memory.Bytes()[a]);
            text += buffer;
            text += (column == 15 || a + 1 == segment.start + segment.size) ? "\n" : " ";
        }
    }
    text += "@FFE0\n";
    for (int i = 0; i < kVectorCount; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02X %02X", vectors[i] & 0xFF, vectors[i] >> 8);
        text += buffer;
        text += (i % 8 == 7) ? "\n" : " ";
    }
    text += "q\n";
    return text;
}

std::string SourceText(const std::string& image, const std::uint16_t (&vectors)[kVectorCount])
{
    std::string out =
        "// Generated by tools/make_standin_image.cpp at build time; do not edit.\n"
        "#include \"loader/BuiltInImage.h\"\n\n"
        "namespace {\n\n"
        "constexpr char kText[] =\n";
    for (std::size_t i = 0; i < image.size(); i += 96)
        out += "    \"" + image.substr(i, 96) + "\"\n";
    out += "    ;\n\n}  // namespace\n\n";
    out += "const BuiltInImage kBuiltInImage = {\n";
    out += std::string("    \"") + kTitle + "\",\n";
    out += "    " + std::to_string(kKind) + ",\n";
    out += "    " + std::to_string(kVersion) + ",\n    {";
    char buffer[16];
    for (int i = 0; i < kVectorCount; ++i) {
        std::snprintf(buffer, sizeof buffer, "0x%04X%s", vectors[i], i + 1 < kVectorCount ? ", " : "");
        out += buffer;
    }
    out += "},\n    kText,\n    sizeof kText - 1,\n};\n";
    return out;
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "make_standin_image: cannot create %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !ok) {
        std::fprintf(stderr, "make_standin_image: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string sourcePath, tiTextPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--source") == 0)
            sourcePath = argv[i + 1];
        else if (std::strcmp(argv[i], "--titext") == 0)
            tiTextPath = argv[i + 1];
    }
    if (sourcePath.empty() && tiTextPath.empty()) {
        std::fprintf(stderr, "usage: make_standin_image --source OUT.cpp [--titext OUT.txt]\n");
        return 2;
    }

    Memory memory;
    Random random(0x7A111C73u);
    std::vector<std::uint16_t> functions;

    // Program segment: start-up code, interrupt stubs, functions, strings.
    const std::uint32_t stringsStart = kProgramStart + kProgramSize - kStringTableSize;
    const std::uint32_t mainFunction = EmitFunctions(memory, random, 0x2680, stringsStart, functions);
    const std::uint16_t startup[] = {
        0x4031, 0x3100,  // mov #0x3100, SP
        0x40B2, 0x5A80,
        0x0120,                                            // mov #WDTPW|WDTHOLD, &WDTCTL
        0x12B0, static_cast<std::uint16_t>(mainFunction),  // call #main
        0x3FFF,                                            // jmp $
    };
    std::uint32_t at = kProgramStart;
    for (const std::uint16_t word : startup) {
        memory.Word(at, word);
        at += 2;
    }
    while (at < kHandlers) {
        memory.Word(at, 0x4303);
        at += 2;
    }
    std::uint16_t vectors[kVectorCount];
    for (int i = 0; i < kVectorCount - 1; ++i) {
        const std::uint32_t stub = kHandlers + 4 * i;
        memory.Word(stub, 0x1300);      // reti
        memory.Word(stub + 2, 0x4303);  // nop
        vectors[i] = static_cast<std::uint16_t>(stub);
    }
    vectors[kVectorCount - 1] = static_cast<std::uint16_t>(kProgramStart);  // reset
    for (at = kHandlers + 4 * (kVectorCount - 1); at < 0x2680; at += 2)
        memory.Word(at, 0x4303);
    EmitStrings(memory, stringsStart, kProgramStart + kProgramSize);

    // Constant table: CRC-16/CCITT entries 0 to 127.
    for (std::uint32_t i = 0; i < kTableSize / 2; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        memory.Word(kTableStart + 2 * i, crc);
    }

    // Second program segment and its pad area.
    const std::uint32_t padStart = kExtraStart + kExtraSize - kPadSize;
    EmitFunctions(memory, random, kExtraStart, padStart, functions);
    for (std::uint32_t a = padStart; a < kExtraStart + kExtraSize; ++a)
        memory.Byte(a) = static_cast<std::uint8_t>(random.Next() >> 24);

    // Self-check block with CRC and balance 0 (their sixteen digits all '0').
    SelfCheckBlock block{};
    block.version = kVersion;
    block.kind = kKind;
    block.rangeCount = 3;
    block.ranges[0] = {kProgramStart, static_cast<std::uint16_t>(kProgramSize)};
    block.ranges[1] = {kTableStart, static_cast<std::uint16_t>(kTableSize)};
    block.ranges[2] = {kExtraStart, static_cast<std::uint16_t>(kExtraSize)};
    auto placeBlock = [&]() {
        std::uint8_t bytes[kSelfCheckBlockSize];
        EncodeSelfCheckBlock(block, bytes);
        for (std::uint32_t i = 0; i < kSelfCheckBlockSize; ++i)
            memory.Byte(kSelfCheckBlockAddress + i) = bytes[i];
    };
    placeBlock();

    // The CRC's eight digits will add between 0 and 176 over '0' each; the
    // balance takes whatever of 176 they leave. So the pad brings the sum
    // to the expected one less 176 now.
    constexpr long kCrcAndBalanceExcess = 176;
    std::string text = CompactText(memory);
    const long padDelta =
        static_cast<long>(kBuiltInImageTextSum) - kCrcAndBalanceExcess - static_cast<long>(CharacterSum(text));
    if (AdjustNibbles(memory, padStart, kPadSize, padDelta) != 0) {
        std::fprintf(stderr, "make_standin_image: the pad area cannot reach the sum (short by %ld)\n", padDelta);
        return 1;
    }
    block.crc = ComputeSelfCheckCrc(memory.Bytes().data(), memory.Bytes().size(), block);
    placeBlock();
    long crcExcess = 0;
    for (int i = 0; i < 8; ++i)
        crcExcess += DigitExcess(static_cast<int>((block.crc >> (4 * i)) & 0xF));
    if (AdjustNibbles(memory, kSelfCheckBlockAddress + kSelfCheckBalanceOffset, 4, kCrcAndBalanceExcess - crcExcess) !=
        0) {
        std::fprintf(stderr, "make_standin_image: the balance word cannot settle the sum\n");
        return 1;
    }

    // Everything the updater checks, checked here first.
    text = CompactText(memory);
    for (int i = 0; i < kVectorCount; ++i)
        memory.Word(kVectorTableAddress + 2 * i, vectors[i]);
    if (text.size() != kBuiltInImageTextLength || CharacterSum(text) != kBuiltInImageTextSum ||
        VerifyFlashImage(memory.Bytes().data(), memory.Bytes().size()) != kSelfCheckGood) {
        std::fprintf(stderr, "make_standin_image: image came out wrong: length %zu sum %llu\n", text.size(),
                     static_cast<unsigned long long>(CharacterSum(text)));
        return 1;
    }

    if (!sourcePath.empty() && !WriteFile(sourcePath, SourceText(text, vectors))) return 1;
    if (!tiTextPath.empty() && !WriteFile(tiTextPath, TIText(memory, vectors))) return 1;
    return 0;
}
