#include "support/sound_font_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>

namespace kalvora::test {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kPeriod = 100;
constexpr int kPeriods = 20;
constexpr int kZeroTail = 46;  // the format wants 46 silent frames after every sample
constexpr std::uint16_t kGenInstrument = 41, kGenKeyRange = 43, kGenVelRange = 44,
                        kGenSampleId = 53, kGenSampleModes = 54;
constexpr std::uint16_t kLoopContinuously = 1;
constexpr std::uint16_t kMonoSample = 1;

class Bytes {
 public:
  Bytes& word(std::uint32_t v) { return put(v, 2); }
  Bytes& dword(std::uint32_t v) { return put(v, 4); }
  Bytes& byte(std::uint8_t v) { return put(v, 1); }
  Bytes& text(const std::string& s, std::size_t size) {
    std::string padded = s.substr(0, size - 1);
    padded.resize(size, '\0');
    data_ += padded;
    return *this;
  }
  Bytes& raw(const std::string& s) {
    data_ += s;
    return *this;
  }
  const std::string& str() const { return data_; }

 private:
  Bytes& put(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) data_ += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  std::string data_;
};

// Chunks are even in size; an odd one (a text) gets one more NUL.
std::string Chunk(const std::string& id, const std::string& body) {
  std::string padded = body;
  if (padded.size() % 2 != 0) padded += '\0';
  return Bytes().raw(id).dword(static_cast<std::uint32_t>(padded.size())).raw(padded).str();
}

std::string List(const std::string& type, const std::string& chunks) {
  return Chunk("LIST", type + chunks);
}

std::string Gen(std::uint16_t oper, std::uint16_t amount) {
  return Bytes().word(oper).word(amount).str();
}

}  // namespace

std::string SoundFontBytes(const std::vector<TestPreset>& presets) {
  Bytes samples;
  for (int i = 0; i < kPeriod * kPeriods; ++i) {
    const double x = std::sin(2 * std::numbers::pi * i / kPeriod);
    samples.word(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(x * 16000))));
  }
  for (int i = 0; i < kZeroTail; ++i) samples.word(0);

  Bytes phdr, pbag, pgen, inst, ibag, igen;
  std::uint16_t pgenCount = 0, ibagCount = 0, igenCount = 0;
  for (std::size_t p = 0; p < presets.size(); ++p) {
    const TestPreset& preset = presets[p];
    phdr.text(preset.name, 20)
        .word(preset.program)
        .word(preset.bank)
        .word(p)
        .dword(0)
        .dword(0)
        .dword(0);
    pbag.word(pgenCount).word(0);
    pgen.raw(Gen(kGenInstrument, static_cast<std::uint16_t>(p)));
    ++pgenCount;
    inst.text(preset.name, 20).word(ibagCount);
    for (const TestZone& zone : preset.zones) {
      ibag.word(igenCount).word(0);
      ++ibagCount;
      auto range = [](std::pair<int, int> r) {
        return static_cast<std::uint16_t>(r.first | r.second << 8);
      };
      igen.raw(Gen(kGenKeyRange, range(zone.keys)))
          .raw(Gen(kGenVelRange, range(zone.velocities)))
          .raw(Gen(kGenSampleModes, kLoopContinuously))
          .raw(Gen(kGenSampleId, 0));
      igenCount += 4;
    }
  }
  phdr.text("EOP", 20).word(0).word(0).word(presets.size()).dword(0).dword(0).dword(0);
  pbag.word(pgenCount).word(0);
  pgen.raw(Gen(0, 0));
  inst.text("EOI", 20).word(ibagCount);
  ibag.word(igenCount).word(0);
  igen.raw(Gen(0, 0));
  const std::string noModulator(10, '\0');
  Bytes shdr;
  shdr.text("sine", 20)
      .dword(0)
      .dword(kPeriod * kPeriods)
      .dword(kPeriod)
      .dword(kPeriod * (kPeriods - 1))
      .dword(kSampleRate)
      .byte(kTestSineRootKey)
      .byte(0)
      .word(0)
      .word(kMonoSample);
  shdr.text("EOS", 20).dword(0).dword(0).dword(0).dword(0).dword(0).byte(0).byte(0).word(0).word(0);

  const std::string info =
      List("INFO", Chunk("ifil", Bytes().word(2).word(1).str()) +
                       Chunk("isng", std::string("EMU8000", 8)) + Chunk("INAM", "Kalvora test"));
  const std::string sdta = List("sdta", Chunk("smpl", samples.str()));
  const std::string pdta =
      List("pdta",
           Chunk("phdr", phdr.str()) + Chunk("pbag", pbag.str()) + Chunk("pmod", noModulator) +
               Chunk("pgen", pgen.str()) + Chunk("inst", inst.str()) + Chunk("ibag", ibag.str()) +
               Chunk("imod", noModulator) + Chunk("igen", igen.str()) + Chunk("shdr", shdr.str()));
  return Chunk("RIFF", "sfbk" + info + sdta + pdta);
}

void WriteSoundFont(const std::filesystem::path& path, const std::vector<TestPreset>& presets) {
  std::ofstream(path, std::ios::binary) << SoundFontBytes(presets);
}

void WriteSoundFontClaiming(const std::filesystem::path& path,
                            const std::vector<TestPreset>& presets, std::uint64_t claimedBytes,
                            std::uint64_t fileBytes) {
  std::string bytes = SoundFontBytes(presets);
  constexpr std::size_t kSizeField = 4;  // a chunk's size follows its tag, a list's type the size
  const std::size_t pdtaSize = bytes.find("pdta") - kSizeField;
  if (claimedBytes == kClaimToTheEnd) claimedBytes = fileBytes - (pdtaSize + kSizeField);
  auto dword = [](std::uint64_t value) {
    return Bytes()
        .dword(static_cast<std::uint32_t>(std::min<std::uint64_t>(value, UINT32_MAX)))
        .str();
  };
  bytes.replace(pdtaSize, kSizeField, dword(claimedBytes));
  bytes.replace(kSizeField, kSizeField, dword(fileBytes - 2 * kSizeField));
  std::ofstream(path, std::ios::binary) << bytes;
  std::filesystem::resize_file(path, fileBytes);  // the rest a hole, as in a sparse file
}

}  // namespace kalvora::test
