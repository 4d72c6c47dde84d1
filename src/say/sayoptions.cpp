// What velmira-say is asked to do: its command line, read into options.
#include "sayoptions.h"

#include "speech/soundwriter.h"

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

int number(const QString &option, const QString &value)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok)
        throw UsageError(u"Параметр %1 ждёт целое число, а не «%2»."_s.arg(option, value));
    return n;
}

} // namespace

QStringList SayOptions::voiceArguments() const
{
    QStringList arguments;
    if (!voice.isEmpty())
        arguments << u"-v"_s << voice;
    if (speed)
        arguments << u"-r"_s << QString::number(*speed);
    if (pitch)
        arguments << u"-p"_s << QString::number(*pitch);
    if (noDictionary)
        arguments << u"--no-dictionary"_s;
    return arguments;
}

SayOptions parseSayArguments(const QStringList &arguments)
{
    SayOptions options;
    bool onlyFiles = false;
    bool formatGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (onlyFiles || arg == u"-" || !arg.startsWith(u'-')) {
            options.inputs.append(arg);
            continue;
        }
        if (arg == u"--") {
            onlyFiles = true;
            continue;
        }
        if (arg == u"--help" || arg == u"-h") {
            options.action = SayOptions::Action::Help;
            continue;
        }
        if (arg == u"--version") {
            options.action = SayOptions::Action::Version;
            continue;
        }
        if (arg == u"--list-voices") {
            options.action = SayOptions::Action::ListVoices;
            continue;
        }
        if (arg == u"--no-dictionary") {
            options.noDictionary = true;
            continue;
        }
        static const QStringList withValue = {u"-v"_s, u"-r"_s, u"-p"_s, u"-o"_s, u"-d"_s, u"-f"_s, u"-j"_s};
        if (!withValue.contains(arg))
            throw UsageError(u"Неизвестный параметр «%1»."_s.arg(arg));
        if (i + 1 >= arguments.size())
            throw UsageError(u"После параметра %1 нужно значение."_s.arg(arg));
        const QString value = arguments[++i];
        if (arg == u"-v") {
            options.voice = value;
        } else if (arg == u"-r") {
            options.speed = number(arg, value);
        } else if (arg == u"-p") {
            options.pitch = number(arg, value);
        } else if (arg == u"-o") {
            options.output = value;
        } else if (arg == u"-d") {
            options.directory = value;
        } else if (arg == u"-f") {
            options.format = value;
            formatGiven = true;
        } else {
            options.jobs = number(arg, value);
            if (*options.jobs < 1)
                throw UsageError(u"Параметр -j ждёт число не меньше 1, а не «%1»."_s.arg(value));
        }
    }
    if (options.action != SayOptions::Action::Speak)
        return options;

    if (!options.output.isEmpty() && !options.directory.isEmpty())
        throw UsageError(u"Параметры -o и -d нельзя давать вместе."_s);
    if (formatGiven && options.directory.isEmpty())
        throw UsageError(u"Параметр -f действует только вместе с -d."_s);
    if (options.jobs && options.directory.isEmpty())
        throw UsageError(u"Параметр -j действует только вместе с -d."_s);
    if (!options.output.isEmpty() && !soundFormatForPath(options.output)) {
        throw UsageError(u"По имени «%1» не понять формат звукового файла: оно должно оканчиваться на "
                         ".wav, .mp3, .ogg, .opus или .flac."_s.arg(options.output));
    }
    if (!options.directory.isEmpty()) {
        if (!soundFormatNamed(options.format))
            throw UsageError(u"Неизвестный формат «%1»: можно wav, mp3, ogg, opus или flac."_s.arg(options.format));
        if (options.inputs.isEmpty() || options.inputs.contains(u"-"_s))
            throw UsageError(u"С параметром -d нужно назвать файлы: стандартный ввод не имеет имени."_s);
    }
    return options;
}

QString sayUsage()
{
    return u"Использование:\n"
           "  velmira-say [-v ГОЛОС] [-r СКОРОСТЬ] [-p ТЕМБР] [--no-dictionary] [-o ФАЙЛ | -d ПАПКА [-f ФОРМАТ] [-j N]] [ФАЙЛ...]\n"
           "  velmira-say --list-voices | --help | --version\n"_s;
}

QString sayHelp()
{
    return u"velmira-say читает тексты вслух голосами Вельмиры или записывает их речь в звуковые файлы.\n\n"_s +
           sayUsage() +
           u"\n"
           "Текст берётся из названных файлов (простой текст, RTF) или, когда файлов нет или имя файла «-»,\n"
           "со стандартного ввода (UTF-8, иначе Windows-1251).\n\n"
           "  -v ГОЛОС         голос: имя из списка --list-voices или его однозначная часть\n"
           "                   (без учёта регистра, кириллицей или латиницей)\n"
           "  -r СКОРОСТЬ      скорость речи\n"
           "  -p ТЕМБР         тембр (высота) голоса\n"
           "  --no-dictionary  не применять словарь поправок\n"
           "  -o ФАЙЛ          записать речь всех текстов в один звуковой файл; формат по расширению:\n"
           "                   .wav, .mp3, .ogg (Ogg Vorbis), .opus, .flac\n"
           "  -d ПАПКА         записать каждый файл в свой звуковой файл в этой папке, с тем же именем\n"
           "  -f ФОРМАТ        формат файлов для -d: wav (по умолчанию), mp3, ogg, opus, flac\n"
           "  -j N             сколько файлов записывать одновременно с -d (по умолчанию по числу ядер)\n"
           "  --list-voices    показать голоса\n"
           "  --help           показать эту справку\n"
           "  --version        показать версию\n\n"
           "Без -o и -d речь звучит через звуковой сервер. Голос, скорость, тембр и словарь по умолчанию\n"
           "те же, что в программе (Settings.ini и Dictionary.txt в папке программы).\n\n"
           "Код возврата: 0 — успех; 1 — файл не удалось прочитать или записать; 2 — ошибка в параметрах.\n"_s;
}

} // namespace velmira
