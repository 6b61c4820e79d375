#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
/** Turns every JUCE assertion into a failure of the running test, from whichever thread. */
class FailingLogger : public juce::Logger
{
    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure"))
            ADD_FAILURE() << message;
        else
            std::cerr << message << std::endl;
    }
};

juce::JUCEApplicationBase* neverCreated() { return nullptr; }
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // JUCE skips XInitThreads and its X error handler unless it believes it is an application,
    // and a window on a bare X server then ends the process. The function is never called.
    juce::JUCEApplicationBase::createInstance = &neverCreated;

    FailingLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juceInitialiser;
        result = RUN_ALL_TESTS();
    }

    juce::Logger::setCurrentLogger (nullptr);
    return result;
}
