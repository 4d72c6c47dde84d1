// The program's engine list: the voices of all synthesisers in one order, each with its name.
#pragma once

#include "synthesisengine.h"

#include <QList>

namespace velmira {

// Puts the voices of all synthesisers in the order of the engine list and completes their display
// names. Russian voices come first, RHVoice's natural ones before espeak-ng's; then the others by
// language, RHVoice's before espeak-ng's; voices of one synthesiser and language keep the order
// they came in, so that the list is the same from run to run. Each display name is followed by its
// synthesiser in parentheses, «Александр (RHVoice)», «Русский (espeak-ng)»; a later voice of the same
// synthesiser and name adds its identifier, «Русский (espeak-ng, zle/ru-LV)».
QList<Voice> listVoices(QList<Voice> voices);

} // namespace velmira
