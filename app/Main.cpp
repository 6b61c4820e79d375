#include "Vantorel.h"

START_JUCE_APPLICATION (Vantorel)
