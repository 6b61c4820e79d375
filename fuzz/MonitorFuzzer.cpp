// The monitor's description of arbitrary messages and time codes of arbitrary timestamps:
// never a read outside the message, always one line of text.
#include "FuzzSupport.h"
#include "app/MainComponent.h"

namespace
{
struct Fixture
{
    Fixture() { juce::Logger::setCurrentLogger (&logger); }

    fuzz::QuietLogger logger;
    juce::ScopedJuceInitialiser_GUI juce;
    MainComponent mc;
};

Fixture* fixture = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    fixture = new Fixture(); // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    fuzz::Reader in { data, size };
    fixture->mc.device.sysex.sessionId = in.byte() < 128 ? 0 : in.word() & 0x0FFFFFFF;

    double timeStamp = 0;
    const auto stampBytes = in.bytes (sizeof (double));
    if (! stampBytes.empty())
        std::memcpy (&timeStamp, stampBytes.data(), stampBytes.size());

    const auto timeCode = MainComponent::formatTimeCode (timeStamp);
    fuzz::require (timeCode.isNotEmpty(), "every timestamp has a time code");

    if (in.size == 0)
        return 0;

    const std::vector<std::uint8_t> bytes (in.data, in.data + in.size);
    const auto text = fixture->mc.describeMessage (fuzz::rawMessage (bytes.data(), bytes.size(), timeStamp));
    fuzz::require (text.isNotEmpty() && ! text.containsAnyOf ("\r\n"), "every message is described on one line");
    return 0;
}
