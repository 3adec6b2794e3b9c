// A small simulated Windows machine decoded from fuzz input, deterministically: its version and
// rights, scanner devices (instance IDs, properties, model strings, network data, button events),
// registry contents where the co-installer looks (still-image events and handlers, USB enumeration
// keys, the marker, imaging device instances, the system-setup flag), drives with their labels and
// files, the programs, the still-image service and window, and the WIA device manager's answers.
// Running out of input gives the usual choice, so an empty input is a plain first plug-in of the
// scanner with its disc in D:. The machine is decoded as a machine description, which the
// simulated machine's builder sets up. Fuzz targets only.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "tools/scenario/machine_description.h"

namespace tvx::fuzz {

// Decodes choices and texts from the input; an exhausted input answers the first choice, zero,
// false and empty texts.
class Decoder {
public:
    Decoder(const uint8_t* data, size_t size) : p_(data, size) {}

    size_t Pick(size_t count) { return p_.ConsumeIntegralInRange<size_t>(0, count - 1); }
    template <typename T, size_t N>
    const T& Pick(const T (&table)[N]) {
        return table[Pick(N)];
    }
    // True once in `odds` choices; an exhausted input answers false.
    bool Rarely(size_t odds) { return Pick(odds) == odds - 1; }
    bool Bool() { return p_.ConsumeBool(); }
    uint32_t Number(uint32_t max) { return p_.ConsumeIntegralInRange<uint32_t>(0, max); }
    uint64_t Number64() { return p_.ConsumeIntegral<uint64_t>(); }
    std::string Bytes(size_t max) { return p_.ConsumeRandomLengthString(max); }
    // A text without NULs, as names and C strings are.
    std::string Text(size_t max) {
        std::string text = Bytes(max);
        std::erase(text, '\0');
        return text;
    }
    // Either the usual text or one from the input.
    std::string TextOr(const std::string& usual, size_t max) { return Bool() ? Text(max) : usual; }

private:
    FuzzedDataProvider p_;
};

// A machine decoded from fuzz input: its description, the files of each drive's disc (paths below
// the disc's root; the drive's folder is given once the run has its folder), and COM as the
// device installer's thread has it set up, which is the calling thread's state, not the machine's.
struct FuzzedMachine {
    MachineDescription description;
    std::map<char, std::vector<std::filesystem::path>> disc_files;
    plat::sim::Apartment apartment = plat::sim::Apartment::None;
    int apartment_depth = 0;
};

FuzzedMachine DecodeMachine(Decoder& in);

// Makes each disc's files in the drive's folder below run_folder and names that folder in the
// description, where the simulated machine's builder uses it as it is.
void PutDiscs(FuzzedMachine& fuzzed, const std::filesystem::path& run_folder);

}  // namespace tvx::fuzz
