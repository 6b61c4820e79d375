// The acceptance test on arbitrary messages: it must never read outside the message, and
// whatever it accepts must really be a frame of the protocol.
#include "FuzzSupport.h"
#include "protocol/DeviceContainer.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    juce::Logger::setCurrentLogger (new fuzz::QuietLogger()); // stays for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    static zun::DeviceContainer device;

    fuzz::Reader in { data, size };
    device.sysex.sessionId = in.byte() < 128 ? 0 : (in.word() & 0x0FFFFFFF);

    if (in.size == 0)
        return 0;

    // The message lives in a buffer of exactly its own size, so the sanitizer sees any read past it.
    const std::vector<std::uint8_t> bytes (in.data, in.data + in.size);
    const auto message = fuzz::rawMessage (bytes.data(), bytes.size());

    if (! device.IsValidMidiMessage (message))
        return 0;

    const auto* b = message.getRawData();
    const int n = message.getRawDataSize();
    fuzz::require (n >= 24 && b[0] == 0xF0 && b[n - 1] == 0xF7, "an accepted frame has a header and an end");

    const int length = (b[20] & 0x7F) << 7 | (b[21] & 0x7F);
    fuzz::require (length == n - 24 && length != 1, "an accepted frame's length field matches its size");

    int sum = 0;
    for (int i = 5; i < n - 1; ++i)
        sum += b[i];
    fuzz::require (sum % 128 == 0, "an accepted frame's checksum is right");
    return 0;
}
