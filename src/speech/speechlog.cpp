// The logging category of the speech subsystem.
#include "speechlog.h"

Q_LOGGING_CATEGORY(lcSpeech, "velmira.speech", QtInfoMsg)
