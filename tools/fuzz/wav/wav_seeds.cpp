// wav_seeds <dir>: writes the WAVE fuzz seed corpus: every sample layout, extra chunks and
// extension bytes, inconsistent header fields, a data chunk longer than the file, cut files.
#include "WavWriter.h"
#include "SeedCorpus.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

fixtures::WavLayout Layout(uint16_t channels, uint16_t bits, uint32_t rate, uint32_t frames)
{
    fixtures::WavLayout layout;
    layout.channels = channels;
    layout.bits = bits;
    layout.rate = rate;
    layout.data.resize(static_cast<size_t>(frames) * channels * bits / 8);
    for (size_t i = 0; i < layout.data.size(); ++i)
        layout.data[i] = static_cast<uint8_t>(i * 37 + 11);
    return layout;
}

} // namespace

int main(int argc, char** argv)
{
    fixtures::Seeds seeds;
    for (uint16_t channels : {uint16_t{1}, uint16_t{2}})
        for (uint16_t bits : {uint16_t{8}, uint16_t{16}})
            for (uint32_t rate : {8000u, 44100u})
                seeds.emplace_back("pcm_c" + std::to_string(channels) + "_b" + std::to_string(bits) + "_r" +
                                       std::to_string(rate),
                                   fixtures::MakeWav(Layout(channels, bits, rate, 300)));
    auto odd = Layout(2, 16, 22050, 200);
    odd.blockAlign = 2;
    odd.byteRate = 1;
    odd.fmtExtraBytes = 2;
    odd.chunksBeforeData = {{"LIST", {'I', 'N', 'F', 'O', 'a', 'b', 'c'}}, {"fact", {1, 0, 0, 0}}};
    seeds.emplace_back("odd_header", fixtures::MakeWav(odd));
    auto longer = Layout(1, 16, 11025, 100);
    longer.overrideDataSize = true;
    longer.dataSize = 0x7FFFFFF0u;
    seeds.emplace_back("data_longer_than_file", fixtures::MakeWav(longer));
    auto inner = Layout(1, 8, 8000, 50);
    inner.chunksBeforeData = {{"junk", {'d', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4}}};
    seeds.emplace_back("data_id_inside_junk", fixtures::MakeWav(inner));
    auto zero = Layout(2, 16, 44100, 10);
    zero.rate = 0;
    seeds.emplace_back("zero_rate", fixtures::MakeWav(zero));
    auto wide = Layout(1, 16, 1, 64);
    seeds.emplace_back("one_hertz", fixtures::MakeWav(wide));
    auto full = fixtures::MakeWav(Layout(2, 16, 44100, 64));
    seeds.emplace_back("cut_in_fmt", std::vector<uint8_t>(full.begin(), full.begin() + 30));
    seeds.emplace_back("cut_in_data", std::vector<uint8_t>(full.begin(), full.end() - 37));

    return fixtures::WriteSeedCorpus(argc, argv, ".wav", seeds);
}
