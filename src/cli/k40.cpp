#include "k40.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <unistd.h>

#include "cli_sink.h"
#include "com_port.h"
#include "conf_view.h"
#include "editor_numbers.h"
#include "image_check.h"
#include "image_codec.h"
#include "image_file.h"
#include "image_map.h"
#include "interrupt.h"
#include "journal.h"
#include "port_survey.h"
#include "radio_operations.h"
#include "radio_protocol.h"
#include "settings_report.h"
#include "station_loader.h"
#include "text_form.h"
#include "trace_device.h"
#include "validation.h"
#include "write_session.h"

namespace {

// ---- Command line ---------------------------------------------------------------------

struct Command {
    const char *name;
    const char *synopsis;  // after "k40 <name>"
    const char *summary;
    QStringList options;  // the options it takes (all take a value except the flags)
    int min_args, max_args;
};

const QStringList FLAGS = {QStringLiteral("--json"), QStringLiteral("--dry-run"),
                           QStringLiteral("--help")};
const QStringList STATION_OPTIONS = {QStringLiteral("--station")};
const QStringList RADIO_OPTIONS = {QStringLiteral("--station"), QStringLiteral("--port"),
                                   QStringLiteral("--baud"), QStringLiteral("--trace")};

const std::vector<Command> &commands()
{
    static const std::vector<Command> list = {
        {"ports",
         "",
         "последовательные порты: устройство, постоянное имя, адаптер (USB vendor:product, "
         "микросхема), таймер задержки, доступ; адаптеры без порта",
         {},
         0,
         0},
        {"read", "-o ФАЙЛ", "считать радиостанцию, как окно программы, и сохранить образ",
         RADIO_OPTIONS + QStringList{QStringLiteral("-o")}, 0, 0},
        {"program", "ФАЙЛ [--dry-run] [--json]",
         "запрограммировать радиостанцию конфигурацией файла, как окно программы: только "
         "отличающиеся байты, с проверкой чтением; перед записью сохраняется резервная "
         "копия. --dry-run считывает радиостанцию и показывает, что было бы записано",
         RADIO_OPTIONS + QStringList{QStringLiteral("--dry-run"), QStringLiteral("--json")}, 1, 1},
        {"restore", "ФАЙЛ",
         "восстановить радиостанцию из резервной копии байт в байт: записать каждый "
         "программируемый адрес, отличающийся от файла, прямо из байтов файла, тем же "
         "порядком, что и программирование; перед записью сохраняется резервная копия",
         RADIO_OPTIONS, 1, 1},
        {"verify", "ФАЙЛ [--json]",
         "считать радиостанцию и сказать, совпадает ли каждый программируемый байт с файлом "
         "(кроме номера рабочего канала, адрес 60); различия объясняются по полям",
         RADIO_OPTIONS + QStringList{QStringLiteral("--json")}, 1, 1},
        {"journal", "", "журнал записей в радиостанции (journal.csv), новые сверху", {}, 0, 0},
        {"series", "ФАЙЛ [--count N] [--sheets ПАПКА] [--json]",
         "запрограммировать конфигурацию файла в радиостанцию за радиостанцией: ждать "
         "подключения, считать, сохранить резервную копию, записать отличия с проверкой, "
         "дописать журнал; затем ждать отключения и следующую радиостанцию. Ctrl-C "
         "заканчивает серию",
         RADIO_OPTIONS
             + QStringList{QStringLiteral("--count"), QStringLiteral("--sheets"),
                           QStringLiteral("--json")},
         1, 1},
        {"show", "ФАЙЛ [--json]",
         "показать конфигурацию файла: каналы, тоны, громкость, "
         "микрофон, рабочий канал, запрет частот, диапазон",
         STATION_OPTIONS + QStringList{QStringLiteral("--json")}, 1, 1},
        {"diff", "A B [--json]",
         "различия двух конфигураций по полям, затем прочие отличающиеся адреса; A или B "
         "может быть словом radio (считать радиостанцию)",
         RADIO_OPTIONS + QStringList{QStringLiteral("--json")}, 2, 2},
        {"report", "ФАЙЛ -o ОТЧЕТ.html",
         "отчет о настройках из файла, байт в байт как отчет окна программы",
         STATION_OPTIONS + QStringList{QStringLiteral("-o")}, 1, 1},
    };
    return list;
}

const Command *find_command(const QString &name)
{
    for (const Command &c : commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

const char *const EXIT_HELP =
    "Коды завершения:\n"
    "  0  успешно; verify: радиостанция содержит файл; diff: различий нет\n"
    "  1  verify: радиостанция не содержит файл; diff: есть различия; restore: не все\n"
    "     адреса удалось восстановить\n"
    "  2  ошибка в командной строке\n"
    "  3  неверные или недоступные данные: файл образа, файл станции, файл настроек\n"
    "     порта, выходной файл или стандартный вывод, резервная копия, данные\n"
    "     радиостанции, файл для другого диапазона\n"
    "  4  сбой порта, линии или радиостанции; программирование не удалось\n";

QString option_help(const QString &option)
{
    static const std::map<QString, QString> help = {
        {QStringLiteral("--station"),
         QStringLiteral("  --station ФАЙЛ  файл станции вместо ./torvel.configuration.K40")},
        {QStringLiteral("--port"),
         QStringLiteral("  --port ИМЯ      порт вместо Com_Port_Name из ./torvel.txt")},
        {QStringLiteral("--baud"),
         QStringLiteral("  --baud N        скорость вместо Com_Port_BaudRate из ./torvel.txt")},
        {QStringLiteral("--trace"),
         QStringLiteral("  --trace ФАЙЛ    дописывать в ФАЙЛ каждый кадр обмена и события линии")},
        {QStringLiteral("--json"), QStringLiteral("  --json          вывод в формате JSON")},
        {QStringLiteral("--dry-run"),
         QStringLiteral("  --dry-run       только показать, что было бы записано")},
        {QStringLiteral("-o"), QStringLiteral("  -o ФАЙЛ         выходной файл")},
        {QStringLiteral("--count"),
         QStringLiteral("  --count N       закончить после N радиостанций")},
        {QStringLiteral("--sheets"),
         QStringLiteral("  --sheets ПАПКА  отчет о настройках каждой радиостанции в ПАПКУ")},
    };
    const auto it = help.find(option);
    return it == help.end() ? QString() : it->second;
}

QString command_help(const Command &c)
{
    QString summary = QString::fromUtf8(c.summary);
    summary[0] = summary[0].toUpper();
    QString s = QStringLiteral("Использование: k40 %1 %2\n\n%3.\n")
                    .arg(QLatin1String(c.name), QString::fromUtf8(c.synopsis), summary);
    if (!c.options.isEmpty()) {
        s += QStringLiteral("\nПараметры:\n");
        for (const QString &o : c.options)
            s += option_help(o) + QLatin1Char('\n');
    }
    s += QStringLiteral("  -h, --help      эта справка\n\n") + QString::fromUtf8(EXIT_HELP);
    return s;
}

QString general_help()
{
    QString s = QStringLiteral(
        "Использование: k40 КОМАНДА [ПАРАМЕТРЫ]\n\n"
        "Программатор радиостанции Торвел-K40 для командной строки. Файлы станции\n"
        "(torvel.configuration.K40, torvel.txt) берутся из текущей папки, как у окна\n"
        "программы. Сообщения идут в стандартный поток ошибок, результаты - в стандартный\n"
        "вывод.\n\nКоманды:\n");
    for (const Command &c : commands())
        s += QStringLiteral("  %1 %2")
                 .arg(QString::fromLatin1(c.name).leftJustified(8), QString::fromUtf8(c.synopsis))
                 .trimmed()
                 .prepend(QStringLiteral("  "))
             + QLatin1Char('\n');
    s += QStringLiteral("\nk40 КОМАНДА --help - справка по команде, k40 --version - версия.\n\n")
         + QString::fromUtf8(EXIT_HELP);
    return s;
}

struct Args {
    const Command *command = nullptr;
    QStringList positional;
    std::map<QString, QString> values;
    bool has(const char *flag) const { return values.count(QString::fromLatin1(flag)) != 0; }
    QString value(const char *option) const
    {
        const auto it = values.find(QString::fromLatin1(option));
        return it == values.end() ? QString() : it->second;
    }
};

// The speeds a serial line takes.
const int LINE_SPEEDS[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool line_speed(int baud)
{
    return std::find(std::begin(LINE_SPEEDS), std::end(LINE_SPEEDS), baud) != std::end(LINE_SPEEDS);
}

QString line_speeds_text()
{
    QStringList list;
    for (const int b : LINE_SPEEDS)
        list << QString::number(b);
    return list.join(QStringLiteral(", "));
}

// False with `error` set on a wrong command line. Our own rather than QCommandLineParser:
// each command takes its own options, and every refusal must be Russian, name the command's
// help and end with status 2, where that parser's errors are English and its help and
// version options exit on their own.
bool parse(const QStringList &argv, const Command &c, Args &args, QString &error)
{
    args.command = &c;
    bool options_end = false;
    for (int i = 0; i < argv.size(); ++i) {
        QString a = argv[i];
        if (options_end || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            args.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            options_end = true;
            continue;
        }
        QString value;
        bool inline_value = false;
        const int eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 0) {
            value = a.mid(eq + 1);
            a = a.left(eq);
            inline_value = true;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            args.values[QStringLiteral("--help")] = QString();
            continue;
        }
        if (!c.options.contains(a)) {
            error = QStringLiteral("неизвестный параметр %1").arg(a);
            return false;
        }
        if (FLAGS.contains(a)) {
            if (inline_value) {
                error = QStringLiteral("параметр %1 не принимает значения").arg(a);
                return false;
            }
            args.values[a] = QString();
            continue;
        }
        if (!inline_value) {
            if (i + 1 >= argv.size()) {
                error = QStringLiteral("параметру %1 нужно значение").arg(a);
                return false;
            }
            value = argv[++i];
        }
        args.values[a] = value;
    }
    if (args.has("--help"))
        return true;
    if (args.positional.size() < c.min_args || args.positional.size() > c.max_args) {
        error = QStringLiteral("неверное число аргументов");
        return false;
    }
    if (c.options.contains(QStringLiteral("-o")) && args.value("-o").isEmpty()) {
        error = QStringLiteral("не указан выходной файл (-o ФАЙЛ)");
        return false;
    }
    if (args.has("--baud")) {
        bool ok = false;
        const int baud = args.value("--baud").toInt(&ok);
        if (!ok || !line_speed(baud)) {
            error = QStringLiteral("неверная скорость %1; допустимы %2")
                        .arg(args.value("--baud"), line_speeds_text());
            return false;
        }
    }
    // A real run's result is the radio's own messages: there is no JSON of it to give.
    if (QLatin1String(c.name) == QLatin1String("program") && args.has("--json")
        && !args.has("--dry-run")) {
        error = QStringLiteral("--json выводит только результат --dry-run");
        return false;
    }
    if (args.has("--port")
        && (args.value("--port").isEmpty()
            || QFile::encodeName(args.value("--port")).size()
                   >= int(sizeof(STATION_CONFIG::Com_Port_Name)))) {
        error =
            QStringLiteral("имя порта пустое или длиннее %1 символов").arg(STATION_PORT_NAME_MAX);
        return false;
    }
    return true;
}

// ---- The run --------------------------------------------------------------------------

class Run {
public:
    Run(const Args &args, std::FILE *out, CliSink &sink) : args_(args), out_(out), sink_(sink)
    {
        ctx_.station = &station_;
        ctx_.reporter = Reporter(&sink_);
    }
    ~Run()
    {
        if (port_ >= 0)
            com_close(port_);
        if (service_started_)
            com_service_stop();
    }

    int execute();

private:
    const Args &args_;
    std::FILE *out_;
    CliSink &sink_;
    STATION_CONFIG station_{};
    ModelContext ctx_;
    int port_ = -1;
    bool service_started_ = false;
    QString missing_port_file_;  // set when the radio commands have no port to use
    QString bad_port_file_;      // why the port settings file cannot be used

    void error(const QString &text) { sink_.line(QStringLiteral("k40: ") + text); }
    void print(const QString &text)
    {
        std::fputs(text.toUtf8().constData(), out_);
        std::fflush(out_);
    }
    void print_json(const QJsonObject &object)
    {
        print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    }

    int load_station();
    int start_link();
    int load_image_file(const QString &path, RS_EEPROM_IMAGE &image);
    int load_file_form(const QString &path, TextForm &form);
    int read_radio_form(TextForm &form);
    int load_side(const QString &which, TextForm &form);
    ProgramForm program_form(const TextForm &form) const;
    QString restore_command(const QString &backup) const;

    int ports();
    int read();
    int program();
    int restore();
    struct WriteOutcome {
        bool ok = false;
        bool cancelled = false;
        int written = 0;  // addresses sent
        QString backup;
        RS_EEPROM_IMAGE read_back{};
    };
    int write_run(const ProgramForm &form, const TextForm *file, const QString &path,
                  const RadioRunInterrupts *series = nullptr, WriteOutcome *outcome = nullptr);
    int series();
    bool wait_for_radio(const RadioRunInterrupts &interrupts, bool announce);
    bool wait_for_disconnect(const RadioRunInterrupts &interrupts);
    QStringList unwritable_lines(const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &target);
    QStringList computed_lines(const RS_EEPROM_IMAGE &file, const RS_EEPROM_IMAGE &target);
    int dry_run(const TextForm &file);
    int verify();
    int journal();
    int show();
    int diff();
    int report();
};

int Run::execute()
{
    const QString name = QString::fromLatin1(args_.command->name);
    if (name == QLatin1String("ports"))
        return ports();
    if (name == QLatin1String("journal"))
        return journal();
    if (const int status = load_station(); status != K40_OK)
        return status;
    if (name == QLatin1String("read"))
        return read();
    if (name == QLatin1String("program"))
        return program();
    if (name == QLatin1String("restore"))
        return restore();
    if (name == QLatin1String("series"))
        return series();
    if (name == QLatin1String("verify"))
        return verify();
    if (name == QLatin1String("show"))
        return show();
    if (name == QLatin1String("diff"))
        return diff();
    return report();
}

int Run::load_station()
{
    const QString conf_path = args_.has("--station")
                                  ? args_.value("--station")
                                  : QStringLiteral("./") + QLatin1String(STATION_CONF_FILE_NAME);
    const QString port_path = QStringLiteral("./") + QLatin1String(STATION_PORT_FILE_NAME);
    switch (read_station_files(&station_, QFile::encodeName(conf_path).toStdString(),
                               QFile::encodeName(port_path).toStdString())) {
    case StationFileCheck::Loaded: break;
    case StationFileCheck::Missing:
        error(QStringLiteral("файл станции %1 не найден или пуст").arg(conf_path));
        return K40_DATA;
    case StationFileCheck::Unsealed:
        error(QStringLiteral("файл станции %1 не прошел проверку контрольной суммы: тексты "
                             "DIAPAZON_FREQ и TUN изменены или файл не запечатан "
                             "(k40_station_seal)")
                  .arg(conf_path));
        return K40_DATA;
    case StationFileCheck::Unusable:
        error(QStringLiteral("файл станции %1 не содержит диапазонов или точек настройки "
                             "(TUN) в допустимом числе")
                  .arg(conf_path));
        return K40_DATA;
    }
    if (args_.has("--port")) {
        std::memset(station_.Com_Port_Name, 0, sizeof station_.Com_Port_Name);
        const QByteArray name = QFile::encodeName(args_.value("--port"));
        std::memcpy(station_.Com_Port_Name, name.constData(), size_t(name.size()));
    }
    if (args_.has("--baud"))
        station_.Com_Port_BaudRate = args_.value("--baud").toInt();
    // Without a port settings file the window writes one at 9600 bit/s naming COM1, which
    // no Linux machine has: the speed is taken, the port has to be named.
    if (!QFileInfo::exists(port_path)) {
        if (!args_.has("--baud"))
            station_.Com_Port_BaudRate = 9600;
        if (!args_.has("--port"))
            missing_port_file_ = port_path;
    } else if (!args_.has("--port") && station_.Com_Port_Name[0] == 0) {
        bad_port_file_ = QStringLiteral("файл настроек порта %1 не задает порт: нужна строка "
                                        "[Com_Port_Name]= [ИМЯ] (не длиннее %2 символов)")
                             .arg(port_path)
                             .arg(STATION_PORT_NAME_MAX);
    } else if (!args_.has("--baud") && !line_speed(station_.Com_Port_BaudRate)) {
        bad_port_file_ = QStringLiteral("файл настроек порта %1 задает неверную скорость "
                                        "Com_Port_BaudRate; допустимы %2")
                             .arg(port_path, line_speeds_text());
    }
    return K40_OK;
}

int Run::start_link()
{
    if (!missing_port_file_.isEmpty()) {
        error(QStringLiteral("нет файла настроек порта %1: укажите порт (--port ИМЯ)")
                  .arg(missing_port_file_));
        return K40_DATA;
    }
    if (!bad_port_file_.isEmpty()) {
        error(bad_port_file_);
        return K40_DATA;
    }
    if (!service_started_) {
        com_service_start();
        service_started_ = true;
    }
    return K40_OK;
}

// The values of an image the window would refuse, each with its field's label: a refusal
// must say what to mend.
QStringList refused_values(const STATION_CONFIG &station, const RS_EEPROM_IMAGE &image)
{
    const ModelContext quiet{&station, Reporter()};
    RS_CONF held{};
    if (!decode_image(quiet, image, held))
        return {};
    RS_CONF checked = held;
    validate_conf(quiet, checked);
    const std::vector<ConfField> fields = conf_fields(station, 0, FormTexts{});
    QStringList out;
    // The check zeroes what it refuses; only the coder and squelch take 0 as a value.
    const auto note = [&](const QString &key, double was, double now, bool zero_valid,
                          const char *unit) {
        if (was == now && (zero_valid || now != 0))
            return;
        for (const ConfField &f : fields)
            if (f.key == key)
                out << QStringLiteral("%1: %2%3")
                           .arg(f.label, QString::number(was), QString::fromUtf8(unit));
    };
    for (int row = 0; row < RS_CHANNELS; ++row) {
        const QString ch = QStringLiteral("channel_")
                           + (row == RS_CHANNEL_R ? QStringLiteral("R") : QString::number(row + 1))
                           + QLatin1Char('.');
        note(ch + QStringLiteral("rx_khz"), held.f_prm[row], checked.f_prm[row], false, " кГц");
        note(ch + QStringLiteral("tx_khz"), held.f_prd[row], checked.f_prd[row], false, " кГц");
        note(ch + QStringLiteral("scrambler"), held.koder[row], checked.koder[row], true, "");
        note(ch + QStringLiteral("squelch"), held.ph[row], checked.ph[row], true, "");
    }
    note(QStringLiteral("ctcss_tx_hz"), held.ctcss_prd, checked.ctcss_prd, false, " Гц");
    note(QStringLiteral("ctcss_rx_hz"), held.ctcss_prm, checked.ctcss_prm, false, " Гц");
    note(QStringLiteral("call_tone_tx_hz"), held.vt_prd, checked.vt_prd, false, " Гц");
    note(QStringLiteral("call_tone_rx_hz"), held.vt_prm, checked.vt_prm, false, " Гц");
    note(QStringLiteral("volume"), held.ur_gromk, checked.ur_gromk, false, "");
    note(QStringLiteral("microphone"), held.microphone, checked.microphone, false, "");
    note(QStringLiteral("working_channel"), held.n_rab_kanala, checked.n_rab_kanala, false, "");
    return out;
}

int Run::load_image_file(const QString &path, RS_EEPROM_IMAGE &image)
{
    QString why;
    if (read_image_file(path, image, &why))
        return K40_OK;
    error(why);
    return K40_DATA;
}

int Run::load_file_form(const QString &path, TextForm &form)
{
    RS_EEPROM_IMAGE image{};
    if (const int status = load_image_file(path, image); status != K40_OK)
        return status;
    if (!form.load_image(image)) {
        sink_.show_text(QStringLiteral("Ошибка чтения конфигурации из файла."));
        const QStringList refused = refused_values(station_, image);
        error(QStringLiteral("файл %1 не содержит допустимой конфигурации%2")
                  .arg(path, refused.isEmpty() ? QString()
                                               : QStringLiteral(": недопустимые значения: ")
                                                     + refused.join(QStringLiteral("; "))));
        return K40_DATA;
    }
    return K40_OK;
}

int Run::read_radio_form(TextForm &form)
{
    if (const int status = start_link(); status != K40_OK)
        return status;
    if (!fetch_radio_image(ctx_, port_, form.image))
        return K40_RADIO;
    if (!form.take_radio_image(form.image)) {
        error(QStringLiteral("образ радиостанции не декодируется с таблицами станции"));
        return K40_DATA;
    }
    return K40_OK;
}

int Run::load_side(const QString &which, TextForm &form)
{
    return which == QLatin1String("radio") ? read_radio_form(form) : load_file_form(which, form);
}

// What the window hands to programming after loading the file: the same texts, read back.
ProgramForm Run::program_form(const TextForm &form) const
{
    ProgramForm p;
    p.wc = static_cast<uint8_t>(text_to_int(form.texts.n_rab_kanala));
    p.flag_conf_read = form.flag_conf_read;
    p.form_filled = check_form_filled(form.texts);
    p.conf = form.read();
    return p;
}

QString Run::restore_command(const QString &backup) const
{
    QStringList words{QStringLiteral("k40"), QStringLiteral("restore")};
    for (const char *o : {"--station", "--port", "--baud"})
        if (args_.has(o))
            words << QString::fromLatin1(o) << args_.value(o);
    words << backup;
    // Quoted for a POSIX shell wherever a word holds anything the shell might read.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._/+:=@%,-]+$"));
    for (QString &w : words)
        if (!plain.match(w).hasMatch())
            w = QLatin1Char('\'') + w.replace(QLatin1Char('\''), QStringLiteral("'\\''"))
                + QLatin1Char('\'');
    return words.join(QLatin1Char(' '));
}

int Run::ports()
{
    const PortSurvey survey = survey_ports();
    if (survey.ports.empty())
        sink_.line(QStringLiteral("Последовательные порты не найдены."));
    for (const SurveyedPort &p : survey.ports)
        print(port_line(p) + QLatin1Char('\n'));
    for (const QString &t : survey.trouble)
        sink_.line(t);
    return K40_OK;
}

int Run::read()
{
    TextForm form(ctx_);
    if (const int status = read_radio_form(form); status != K40_OK)
        return status;
    const QString path = args_.value("-o");
    QString why;
    if (!write_image_file(path, form.image, &why)) {
        error(QStringLiteral("не удалось сохранить образ в %1: %2").arg(path, why));
        return K40_DATA;
    }
    sink_.line(QStringLiteral("Образ радиостанции сохранен в %1").arg(path));
    return K40_OK;
}

int Run::program()
{
    TextForm file(ctx_);
    if (const int status = load_file_form(args_.positional[0], file); status != K40_OK)
        return status;
    if (args_.has("--dry-run"))
        return dry_run(file);
    return write_run(program_form(file), &file, args_.positional[0]);
}

int Run::restore()
{
    const QString path = args_.positional[0];
    RS_EEPROM_IMAGE backup{};
    if (const int status = load_image_file(path, backup); status != K40_OK)
        return status;
    ProgramForm form;
    form.exact = &backup;
    form.wc = 0;  // the radio stays on the channel it works on
    return write_run(form, nullptr, path);
}

// Labels of the fields an address feeds, for messages.
QString address_labels(const STATION_CONFIG &station, int address)
{
    const std::vector<ConfField> fields = conf_fields(station, 0, FormTexts{});
    QStringList out;
    for (const QString &key : fields_of_address(address))
        for (const ConfField &f : fields)
            if (f.key == key)
                out << f.label;
    return out.join(QStringLiteral(", "));
}

// One line per address: `pattern` takes the address, the byte in `a`, the byte in `b`.
QStringList address_lines(const STATION_CONFIG &station, const std::vector<int> &addresses,
                          const char *pattern, const RS_EEPROM_IMAGE &a, const RS_EEPROM_IMAGE &b)
{
    QStringList lines;
    for (int address : addresses) {
        const QString label = address_labels(station, address);
        lines << QString::fromUtf8(pattern).arg(address).arg(
            hex_byte(a.bytes[address]), hex_byte(b.bytes[address]),
            label.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(label));
    }
    return lines;
}

QStringList Run::unwritable_lines(const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &target)
{
    return address_lines(station_, unwritable_differences(radio, target),
                         "адрес %1: радиостанция %2, нужно %3%4", radio, target);
}

// What programming the file puts at `address` instead of the file's byte: a byte the form
// computes (the tuning voltages), or bits it keeps from the radio.
QString form_byte_note(const RS_EEPROM_IMAGE &file, const RS_EEPROM_IMAGE &target, int address)
{
    const uint8_t owned = static_cast<uint8_t>(~image_kept_mask(address));
    const bool kept = ((file.bytes[address] ^ target.bytes[address]) & owned) == 0;
    return (kept ? QStringLiteral("форма оставляет байт радиостанции %1")
                 : QStringLiteral("форма вычисляет %1"))
        .arg(hex_byte(target.bytes[address]));
}

QStringList Run::computed_lines(const RS_EEPROM_IMAGE &file, const RS_EEPROM_IMAGE &target)
{
    QStringList lines;
    for (int a : writable_differences(file, target)) {
        const QString label = address_labels(station_, a);
        lines << QStringLiteral("адрес %1: в файле %2, %3%4")
                     .arg(a)
                     .arg(hex_byte(file.bytes[a]), form_byte_note(file, target, a),
                          label.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(label));
    }
    return lines;
}

// Programming from a file's configuration (`file` set) or a byte-for-byte restore.
int Run::write_run(const ProgramForm &form, const TextForm *file, const QString &path,
                   const RadioRunInterrupts *series, WriteOutcome *outcome)
{
    if (const int status = start_link(); status != K40_OK)
        return status;
    const bool exact = form.exact != nullptr;
    sink_.show_text(exact ? QStringLiteral("Пожалуйта подождите: восстановление радиостанции "
                                           "из файла %1")
                                .arg(path)
                          : QStringLiteral("Пожалуйта подождите: сохранение настроек в "
                                           "радиостанцию"));
    std::unique_ptr<RadioRunInterrupts> own;
    if (!series)
        own = std::make_unique<RadioRunInterrupts>();
    const RadioRunInterrupts &interrupts = series ? *series : *own;
    WriteSession session(QStringLiteral("."), QStringLiteral("k40"),
                         QString::fromLocal8Bit(station_.Com_Port_Name), path);
    int refused = K40_OK;
    QStringList left_behind;
    ProgramRun run;
    run.cancel = &interrupts.requested();
    run.restore_state_on_abort = true;
    run.before_writing = [&](const RS_EEPROM_IMAGE &radio, const RS_EEPROM_IMAGE &target) {
        if (exact) {
            if (radio.bytes[ADDR_BAND_CODE] != form.exact->bytes[ADDR_BAND_CODE]) {
                error(QStringLiteral("файл %1 снят с радиостанции другого диапазона (%2, у "
                                     "этой %3); ничего не записано")
                          .arg(path)
                          .arg(form.exact->bytes[ADDR_BAND_CODE])
                          .arg(radio.bytes[ADDR_BAND_CODE]));
                refused = K40_DATA;
                return false;
            }
            // The radio keeps the channel it works on; verify leaves that byte aside too.
            RS_EEPROM_IMAGE wanted = *form.exact;
            wanted.bytes[ADDR_N_RAB_KANALA] = radio.bytes[ADDR_N_RAB_KANALA];
            left_behind = unwritable_lines(radio, wanted);
        } else {
            const QStringList never = unwritable_lines(radio, target);
            if (!never.isEmpty()) {
                error(QStringLiteral("конфигурацию файла нельзя записать в эту радиостанцию: "
                                     "отличаются адреса, которые не программируются; ничего "
                                     "не записано:"));
                for (const QString &l : never)
                    sink_.line(QStringLiteral("  ") + l);
                refused = K40_DATA;
                return false;
            }
            const QStringList computed = computed_lines(file->image, target);
            if (!computed.isEmpty()) {
                sink_.line(QStringLiteral("Программирование файла задает эти байты иначе, "
                                          "чем они записаны в файле; радиостанция получит "
                                          "значения формы (байт в байт записывает k40 "
                                          "restore):"));
                for (const QString &l : computed)
                    sink_.line(QStringLiteral("  ") + l);
            }
        }
        return session.begin(ctx_.reporter, radio, target);
    };
    const bool ok = program_radio(ctx_, port_, form, &run);
    QString why;
    const char *result = ok              ? JOURNAL_RESULT_OK
                         : run.cancelled ? JOURNAL_RESULT_CANCELLED
                                         : JOURNAL_RESULT_FAILED;
    if (!session.end(run, QString::fromUtf8(result), &why))
        error(QStringLiteral("журнал не дописан: %1").arg(why));
    if (outcome) {
        outcome->ok = ok;
        outcome->cancelled = run.cancelled;
        outcome->written = int(
            QSet<int>(run.sent_addresses.begin(), run.sent_addresses.end()).size());
        outcome->backup = session.backup();
        outcome->read_back = run.read_back_valid ? run.read_back : run.radio_before;
    }
    if (ok) {
        sink_.show_text(QStringLiteral("Запрограммировали - OK!"));
        if (!exact)
            return K40_OK;
        if (left_behind.isEmpty()) {
            sink_.line(
                QStringLiteral("Радиостанция восстановлена из файла %1 байт в байт.").arg(path));
            return K40_OK;
        }
        sink_.line(QStringLiteral("Радиостанция восстановлена из файла %1 не полностью: эти "
                                  "адреса отличаются, но не программируются:")
                       .arg(path));
        for (const QString &l : left_behind)
            sink_.line(QStringLiteral("  ") + l);
        return K40_DIFFERENT;
    }
    sink_.show_text(run.cancelled ? QStringLiteral("Программирование прервано.")
                                  : QStringLiteral("Ошибка программирования"));
    if (run.state_changed && !run.state_restore_failed)
        sink_.line(QStringLiteral("Передача и тональный вызов радиостанции возвращены, как "
                                  "были до записи."));
    if (run.memory_verified) {
        // Nothing to restore: the memory holds what was meant, only the mode is in doubt.
        sink_.line(QStringLiteral("Память радиостанции записана и проверена чтением. Проверьте "
                                  "на радиостанции рабочий канал и режим передачи."));
    } else if (run.writes_begun) {
        QStringList sent;
        for (int a : run.sent_addresses)
            sent << QString::number(a);
        sent.removeDuplicates();
        sink_.line(QStringLiteral("Отправлены адреса: %1.").arg(sent.join(QStringLiteral(", "))));
        sink_.line(QStringLiteral("Радиостанция могла быть записана частично. Восстановить ее "
                                  "из резервной копии:"));
        sink_.line(QStringLiteral("  ") + restore_command(session.backup()));
    }
    if (refused != K40_OK)
        return refused;
    if (run.cancelled)
        return K40_RADIO;
    return session.backup_failed() || run.form_refused ? K40_DATA : K40_RADIO;
}

// ---- A series of radios --------------------------------------------------------------

constexpr int SERIES_POLL_MS = 1000;

// Sleeps in short steps so that an interrupt ends the wait at once.
bool nap(const RadioRunInterrupts &interrupts, int ms)
{
    for (int slept = 0; slept < ms; slept += 50) {
        if (interrupts.requested().load())
            return false;
        QThread::msleep(50);
    }
    return !interrupts.requested().load();
}

bool state_reply_framed(const uint8_t *state)
{
    return state[0] == '$' && state[1] == 'S' && state[2] == 'S' && state[6] == 0x0D;
}

// A radio answers on the port: the device is there, the port opens (its wake-up sequence)
// and the state query gets a framed reply. Quiet: a missing radio is what the series waits
// for, not an error. A port nobody answers on is closed again, so that a radio connected
// later gets the wake-up of a fresh open.
bool radio_answers(const STATION_CONFIG &station, int &port)
{
    if (!QFileInfo::exists(QString::fromLocal8Bit(station.Com_Port_Name)))
        return false;
    port = com_open(station.Com_Port_Name, station.Com_Port_BaudRate);
    if (port < 0)
        return false;
    uint8_t state[RADIO_STATE_SIZE] = {};
    const Reporter quiet;
    if (query_state(port, state, quiet) && state_reply_framed(state))
        return true;
    com_close(port);
    port = -1;
    return false;
}

bool Run::wait_for_radio(const RadioRunInterrupts &interrupts, bool announce)
{
    if (announce)
        sink_.line(QStringLiteral("Ожидание радиостанции на порту %1 (Ctrl-C - закончить "
                                  "серию)...")
                       .arg(QString::fromLocal8Bit(station_.Com_Port_Name)));
    for (;;) {
        if (interrupts.requested().load())
            return false;
        if (radio_answers(station_, port_))
            return true;
        if (!nap(interrupts, SERIES_POLL_MS))
            return false;
    }
}

// Gone when the device disappears or goes away under the open port (the cable pulled and
// another radio plugged in between two polls), or when the radio misses two state queries
// in a row.
bool Run::wait_for_disconnect(const RadioRunInterrupts &interrupts)
{
    sink_.line(QStringLiteral("Отключите радиостанцию и подключите следующую."));
    const Reporter quiet;
    int missed = 0;
    bool gone = false;
    while (!gone) {
        if (!nap(interrupts, SERIES_POLL_MS))
            return false;
        uint8_t state[RADIO_STATE_SIZE] = {};
        const bool answered = QFileInfo::exists(QString::fromLocal8Bit(station_.Com_Port_Name))
                              && query_state(port_, state, quiet) && state_reply_framed(state);
        missed = answered ? 0 : missed + 1;
        gone = missed >= 2 || com_port_info(port_).lost
               || !QFileInfo::exists(QString::fromLocal8Bit(station_.Com_Port_Name));
    }
    com_close(port_);
    port_ = -1;
    return true;
}

int Run::series()
{
    int count = 0;
    if (args_.has("--count")) {
        bool ok = false;
        count = args_.value("--count").toInt(&ok);
        if (!ok || count <= 0) {
            error(QStringLiteral("неверное число радиостанций %1").arg(args_.value("--count")));
            return K40_USAGE;
        }
    }
    const QString sheets = args_.value("--sheets");
    if (args_.has("--sheets") && !QDir().mkpath(sheets)) {
        error(QStringLiteral("не удалось создать папку %1").arg(sheets));
        return K40_DATA;
    }
    const QString path = args_.positional[0];
    TextForm file(ctx_);
    if (const int status = load_file_form(path, file); status != K40_OK)
        return status;
    if (const int status = start_link(); status != K40_OK)
        return status;

    const RadioRunInterrupts interrupts;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const bool json = args_.has("--json");
    // Each radio's image as it left the bench, with its number: the same radio again is
    // known by it.
    std::vector<std::pair<QByteArray, int>> done;
    const ModelContext quiet{&station_, Reporter()};
    int number = 0, programmed = 0, holding = 0, refused = 0, failed = 0;

    const auto report = [&](const QString &result, const QString &words, int written,
                            const QString &backup, const QString &sheet) {
        const QString time = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
        if (json) {
            QJsonObject o{{QStringLiteral("number"), number},
                          {QStringLiteral("time"), time},
                          {QStringLiteral("result"), result},
                          {QStringLiteral("written"), written},
                          {QStringLiteral("backup"), backup}};
            if (!sheet.isEmpty())
                o.insert(QStringLiteral("sheet"), sheet);
            print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + '\n');
        } else {
            print(QStringLiteral("%1\t%2\t%3\tзаписано адресов: %4\t%5\n")
                      .arg(number)
                      .arg(time, words)
                      .arg(written)
                      .arg(backup.isEmpty() ? QStringLiteral("-") : backup));
        }
        if (terminal)
            std::fputs("\a", stderr);
    };
    const auto sheet_of = [&](const RS_EEPROM_IMAGE &image) {
        if (sheets.isEmpty())
            return QString();
        TextForm held(quiet);
        if (!held.take_radio_image(image))
            return QString();
        const QString name = QDir(sheets).filePath(
            QStringLiteral("K40-%1-%2.html")
                .arg(number, 3, 10, QLatin1Char('0'))
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
        QString why;
        if (!write_file_atomically(name, settings_report(held.texts), &why)) {
            error(QStringLiteral("не удалось записать отчет %1: %2").arg(name, why));
            return QString();
        }
        return name;
    };

    // Known again by its image; the working channel byte aside, which a technician may
    // have switched in between.
    const auto identity = [](const RS_EEPROM_IMAGE &image) {
        QByteArray bytes(reinterpret_cast<const char *>(image.bytes), RS_IMAGE_SIZE);
        bytes[ADDR_N_RAB_KANALA] = 0;
        return bytes;
    };
    // A radio that is not written keeps its backup too: the fleet's paperwork has every
    // radio as it came.
    const auto keep_backup = [&](const RS_EEPROM_IMAGE &image) {
        QString name, why;
        if (write_backup(QStringLiteral("."), image, QDateTime::currentDateTime(), &name, &why))
            return name;
        error(QStringLiteral("резервная копия %1 не записана: %2").arg(name, why));
        return QString();
    };

    bool announce = true;
    while (count == 0 || number < count) {
        interrupts.set_waiting(true);
        const bool connected = wait_for_radio(interrupts, announce);
        interrupts.set_waiting(false);
        if (!connected)
            break;
        announce = true;
        RS_EEPROM_IMAGE image{};
        bool undecodable = false;
        if (!fetch_radio_image(ctx_, port_, image, &undecodable) && !undecodable) {
            ++number;
            ++failed;
            report(QStringLiteral("failed"), QStringLiteral("не считана"), 0, QString(), QString());
        } else if (const auto again = std::find_if(done.begin(), done.end(),
                                                   [&](const std::pair<QByteArray, int> &d) {
                                                       return d.first == identity(image);
                                                   });
                   again != done.end()) {
            // Not a new radio: nothing counts, nothing is written.
            const int was = number;
            number = again->second;
            report(QStringLiteral("repeat"),
                   QStringLiteral("та же радиостанция снова: не записывается"), 0, QString(),
                   QString());
            number = was;
        } else {
            ++number;
            RS_EEPROM_IMAGE target{};
            if (undecodable) {
                ++refused;
                done.emplace_back(identity(image), number);
                error(QStringLiteral("образ радиостанции не декодируется с таблицами станции"));
                report(QStringLiteral("refused"), QStringLiteral("отказ: образ не декодируется"), 0,
                       keep_backup(image), QString());
            } else if (image.bytes[ADDR_BAND_CODE] != file.image.bytes[ADDR_BAND_CODE]
                       || !build_program_image(ctx_, program_form(file), image, target)) {
                ++refused;
                done.emplace_back(identity(image), number);
                report(QStringLiteral("refused"),
                       image.bytes[ADDR_BAND_CODE] != file.image.bytes[ADDR_BAND_CODE]
                           ? QStringLiteral("отказ: другой диапазон")
                           : QStringLiteral("отказ: конфигурацию файла нельзя записать"),
                       0, keep_backup(image), QString());
            } else if (writable_differences(image, target).empty()) {
                ++holding;
                done.emplace_back(identity(image), number);
                report(QStringLiteral("holding"), QStringLiteral("уже содержит файл"), 0,
                       keep_backup(image), sheet_of(image));
            } else {
                WriteOutcome outcome;
                const int status = write_run(program_form(file), &file, path, &interrupts,
                                             &outcome);
                if (status == K40_OK) {
                    ++programmed;
                    done.emplace_back(identity(outcome.read_back), number);
                    report(QStringLiteral("programmed"), QStringLiteral("запрограммирована"),
                           outcome.written, outcome.backup, sheet_of(outcome.read_back));
                } else if (status == K40_DATA && outcome.written == 0) {
                    ++refused;
                    report(QStringLiteral("refused"), QStringLiteral("отказ"), 0, outcome.backup,
                           QString());
                } else {
                    ++failed;
                    report(QStringLiteral("failed"),
                           outcome.cancelled ? QStringLiteral("прервано")
                                             : QStringLiteral("ошибка"),
                           outcome.written, outcome.backup, QString());
                }
            }
        }
        if (interrupts.requested().load() || (count > 0 && number >= count))
            break;
        interrupts.set_waiting(true);
        const bool disconnected = wait_for_disconnect(interrupts);
        interrupts.set_waiting(false);
        if (!disconnected)
            break;
    }
    sink_.line(QStringLiteral("Итого: запрограммировано %1, уже содержали файл %2, отказано %3, "
                              "с ошибкой %4.")
                   .arg(programmed)
                   .arg(holding)
                   .arg(refused)
                   .arg(failed));
    if (failed > 0)
        return K40_RADIO;
    return refused > 0 ? K40_DATA : K40_OK;
}

// One JSON shape for a changed field and one for a changed byte, in every command.
QJsonObject field_json(const FieldChange &c)
{
    return {{QStringLiteral("field"), c.a->key},
            {QStringLiteral("label"), c.a->label},
            {QStringLiteral("from"), c.a->json},
            {QStringLiteral("to"), c.b->json}};
}

QJsonObject byte_json(int address, int from, int to)
{
    return {{QStringLiteral("address"), address},
            {QStringLiteral("from"), from},
            {QStringLiteral("to"), to}};
}

// With the keys of the fields the address feeds.
QJsonObject byte_json(int address, int from, int to, const QStringList &fields)
{
    QJsonObject o = byte_json(address, from, to);
    o.insert(QStringLiteral("fields"), QJsonArray::fromStringList(fields));
    return o;
}

int Run::dry_run(const TextForm &file)
{
    TextForm radio(ctx_);
    if (const int status = read_radio_form(radio); status != K40_OK)
        return status;
    RS_EEPROM_IMAGE target{};
    if (!build_program_image(ctx_, program_form(file), radio.image, target)) {
        error(QStringLiteral("конфигурацию файла нельзя записать в эту радиостанцию"));
        return K40_DATA;
    }
    TextForm after(ctx_);
    after.load_image(target);
    const std::vector<ConfField> before_fields = conf_fields(station_, radio.diapazon_code,
                                                             radio.texts);
    const std::vector<ConfField> after_fields = conf_fields(station_, after.diapazon_code,
                                                            after.texts);
    const std::vector<FieldChange> fields = field_changes(before_fields, after_fields);
    const std::vector<ByteChange> bytes = byte_changes(radio.image.bytes, target.bytes);
    const int wc = text_to_int(file.texts.n_rab_kanala);
    const auto labels = [&after_fields](const QStringList &keys) {
        QStringList out;
        for (const QString &k : keys)
            for (const ConfField &f : after_fields)
                if (f.key == k)
                    out << f.label;
        return out.join(QStringLiteral(", "));
    };

    if (args_.has("--json")) {
        QJsonArray f, w, never;
        for (const FieldChange &c : fields)
            f.append(field_json(c));
        for (const ByteChange &b : bytes)
            (b.programmable ? w : never).append(byte_json(b.address, b.a, b.b, b.fields));
        QJsonArray computed;
        for (int a : writable_differences(file.image, target))
            computed.append(byte_json(a, file.image.bytes[a], target.bytes[a]));
        const bool refused = !unwritable_differences(radio.image, target).empty();
        print_json({{QStringLiteral("fields"), f},
                    {QStringLiteral("writes"), w},
                    {QStringLiteral("not_programmable"), never},
                    {QStringLiteral("computed_by_form"), computed},
                    {QStringLiteral("refused"), refused},
                    {QStringLiteral("working_channel"), wc}});
        return refused ? K40_DATA : K40_OK;
    }
    QString s;
    int writes = 0;
    for (const ByteChange &b : bytes)
        writes += b.programmable;
    const QStringList computed = computed_lines(file.image, target);
    if (bytes.empty())
        s += computed.isEmpty()
                 ? QStringLiteral("Радиостанция уже содержит конфигурацию файла: ничего не было "
                                  "бы записано.\n")
                 : QStringLiteral("Ничего не было бы записано: радиостанция уже содержит то, "
                                  "что дает программирование файла, но байт в байт с файлом не "
                                  "совпадает (ниже).\n");
    for (const FieldChange &c : fields)
        s += QStringLiteral("%1: %2 -> %3\n").arg(c.a->label, c.a->text, c.b->text);
    if (writes > 0) {
        s += QStringLiteral("\nБыло бы записано байт: %1 (пакетов по 8: %2)\n")
                 .arg(writes)
                 .arg((writes + 7) / 8);
        for (const ByteChange &b : bytes)
            if (b.programmable)
                s += QStringLiteral("  адрес %1: %2 -> %3  %4\n")
                         .arg(b.address, 3)
                         .arg(hex_byte(b.a), hex_byte(b.b), labels(b.fields));
    }
    for (const ByteChange &b : bytes)
        if (!b.programmable)
            s += QStringLiteral("  адрес %1: %2 -> %3  не программируется, не записывается\n")
                     .arg(b.address, 3)
                     .arg(hex_byte(b.a), hex_byte(b.b));
    if (!computed.isEmpty()) {
        s += QStringLiteral("Программирование файла задает эти байты иначе, чем они записаны "
                            "в файле; радиостанция получила бы значения формы (байт в байт "
                            "записывает k40 restore):\n");
        for (const QString &l : computed)
            s += QStringLiteral("  ") + l + QLatin1Char('\n');
    }
    if (!unwritable_differences(radio.image, target).empty()) {
        s += QStringLiteral("Программирование откажется от этого файла: адреса, которые не "
                            "программируются, отличаются; ничего не было бы записано.\n");
        print(s);
        return K40_DATA;
    }
    s += QStringLiteral("Затем радиостанция была бы переключена на рабочий канал %1.\n").arg(wc);
    print(s);
    return K40_OK;
}

int Run::verify()
{
    const QString path = args_.positional[0];
    RS_EEPROM_IMAGE image{};
    if (const int status = load_image_file(path, image); status != K40_OK)
        return status;
    if (const int status = start_link(); status != K40_OK)
        return status;
    TextForm radio(ctx_);
    bool undecodable = false;
    if (!fetch_radio_image(ctx_, port_, radio.image, &undecodable) && !undecodable)
        return K40_RADIO;
    if (radio.image.bytes[ADDR_BAND_CODE] != image.bytes[ADDR_BAND_CODE]) {
        error(QStringLiteral("файл %1 относится к другому диапазону (%2, у радиостанции %3)")
                  .arg(path)
                  .arg(image.bytes[ADDR_BAND_CODE])
                  .arg(radio.image.bytes[ADDR_BAND_CODE]));
        return K40_DATA;
    }
    const std::vector<int> differ = writable_differences(radio.image, image);
    // The bytes give the verdict; the fields and the form only explain it, where the
    // images decode and the file is one programming would take.
    const ModelContext quiet{&station_, Reporter()};
    TextForm held(quiet), wanted(quiet), file(quiet);
    const bool decoded = held.take_radio_image(radio.image) && wanted.take_radio_image(image);
    // Named: the changes point into both lists.
    const std::vector<ConfField> from = decoded
                                            ? conf_fields(station_, held.diapazon_code, held.texts)
                                            : std::vector<ConfField>();
    const std::vector<ConfField> to = decoded ? conf_fields(station_, wanted.diapazon_code,
                                                            wanted.texts)
                                              : std::vector<ConfField>();
    const std::vector<FieldChange> fields = field_changes(from, to);
    RS_EEPROM_IMAGE target{};
    const bool programmable = file.load_image(image)
                              && build_program_image(quiet, program_form(file), radio.image,
                                                     target);
    const auto by_form = [&](int a) { return programmable && target.bytes[a] != image.bytes[a]; };

    if (args_.has("--json")) {
        QJsonArray f, bytes, computed;
        for (const FieldChange &c : fields)
            f.append(field_json(c));
        for (int a : differ) {
            bytes.append(byte_json(a, radio.image.bytes[a], image.bytes[a], fields_of_address(a)));
            if (by_form(a))
                computed.append(byte_json(a, image.bytes[a], target.bytes[a]));
        }
        print_json({{QStringLiteral("file"), path},
                    {QStringLiteral("holds"), differ.empty()},
                    {QStringLiteral("fields"), f},
                    {QStringLiteral("bytes"), bytes},
                    {QStringLiteral("computed_by_form"), computed},
                    {QStringLiteral("valid_configuration"), programmable}});
        return differ.empty() ? K40_OK : K40_DIFFERENT;
    }
    if (differ.empty()) {
        print(QStringLiteral("Радиостанция содержит конфигурацию файла %1.\n").arg(path));
        return K40_OK;
    }
    QStringList addresses;
    for (int a : differ)
        addresses << QString::number(a);
    QString s = QStringLiteral("Радиостанция НЕ содержит конфигурацию файла %1: отличаются "
                               "адреса %2.\n")
                    .arg(path, addresses.join(QStringLiteral(", ")));
    for (const FieldChange &c : fields)
        s += QStringLiteral("%1: %2 -> %3\n").arg(c.a->label, c.a->text, c.b->text);
    for (int a : differ) {
        const QString label = address_labels(station_, a);
        s += QStringLiteral("  адрес %1: радиостанция %2, файл %3%4")
                 .arg(a, 3)
                 .arg(hex_byte(radio.image.bytes[a]), hex_byte(image.bytes[a]),
                      label.isEmpty() ? QString() : QStringLiteral("  ") + label);
        if (by_form(a))
            s += QStringLiteral("; %1: программирование файла этот байт не запишет, k40 "
                                "restore запишет")
                     .arg(form_byte_note(image, target, a));
        s += QLatin1Char('\n');
    }
    if (!programmable)
        s += QStringLiteral("Файл не содержит допустимой конфигурации; вернуть его байты "
                            "может k40 restore.\n");
    print(s);
    return K40_DIFFERENT;
}

int Run::journal()
{
    const QString path = QStringLiteral("./") + QLatin1String(JOURNAL_FILE_NAME);
    QList<JournalEntry> entries;
    QString why;
    if (!QFileInfo::exists(path)) {
        sink_.line(
            QStringLiteral("Журнал %1 пока пуст: записей в радиостанции не было.").arg(path));
        return K40_OK;
    }
    if (!journal_read(path, entries, &why)) {
        error(QStringLiteral("не удалось прочитать журнал %1: %2").arg(path, why));
        return K40_DATA;
    }
    // A run's lines share its tag; a run without its closing line was cut short.
    QStringList order;
    std::map<QString, std::pair<JournalEntry, JournalEntry>> runs;
    for (const JournalEntry &e : entries) {
        if (!runs.count(e.run))
            order << e.run;
        auto &r = runs[e.run];
        (e.event == QString::fromUtf8(JOURNAL_END) ? r.second : r.first) = e;
    }
    QString s;
    for (int i = order.size() - 1; i >= 0; --i) {
        const auto &[start, end] = runs[order[i]];
        const JournalEntry &any = start.time.isValid() ? start : end;
        s += QStringLiteral("%1  %2  порт %3  файл %4\n")
                 .arg(any.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), any.program,
                      any.port, any.file);
        s += QStringLiteral("    резервная копия %1; образ до %2, цель %3, после %4\n")
                 .arg(any.backup, any.before, any.intended,
                      end.read_back.isEmpty() ? QStringLiteral("-") : end.read_back);
        s += QStringLiteral("    результат: %1\n")
                 .arg(end.time.isValid()
                          ? end.result
                          : QStringLiteral("не завершен (прерван сбоем или отключением питания)"));
    }
    print(s);
    return K40_OK;
}

int Run::show()
{
    TextForm form(ctx_);
    if (const int status = load_file_form(args_.positional[0], form); status != K40_OK)
        return status;
    const std::vector<ConfField> fields = conf_fields(station_, form.diapazon_code, form.texts);
    if (args_.has("--json"))
        print_json(show_json(fields));
    else
        print(show_text(fields));
    return K40_OK;
}

int Run::diff()
{
    TextForm a(ctx_), b(ctx_);
    for (int i = 0; i < 2; ++i)
        if (const int status = load_side(args_.positional[i], i == 0 ? a : b); status != K40_OK)
            return status;
    const std::vector<ConfField> fa = conf_fields(station_, a.diapazon_code, a.texts);
    const std::vector<ConfField> fb = conf_fields(station_, b.diapazon_code, b.texts);
    const std::vector<FieldChange> fields = field_changes(fa, fb);
    QStringList changed;
    for (const FieldChange &c : fields)
        changed << c.a->key;
    // Addresses that a differing field explains are not repeated.
    std::vector<ByteChange> others;
    for (const ByteChange &c : byte_changes(a.image.bytes, b.image.bytes)) {
        bool explained = false;
        for (const QString &f : c.fields)
            explained = explained || changed.contains(f);
        if (!explained)
            others.push_back(c);
    }
    if (args_.has("--json")) {
        QJsonArray f, o;
        for (const FieldChange &c : fields)
            f.append(field_json(c));
        for (const ByteChange &c : others)
            o.append(byte_json(c.address, c.a, c.b));
        print_json({{QStringLiteral("fields"), f}, {QStringLiteral("addresses"), o}});
    } else {
        QString s;
        for (const FieldChange &c : fields)
            s += QStringLiteral("%1: %2 -> %3\n").arg(c.a->label, c.a->text, c.b->text);
        if (!others.empty())
            s += QStringLiteral("Прочие отличающиеся адреса:\n");
        for (const ByteChange &c : others)
            s += QStringLiteral("  адрес %1: %2 -> %3\n")
                     .arg(c.address, 3)
                     .arg(hex_byte(c.a), hex_byte(c.b));
        print(s);
    }
    return fields.empty() && others.empty() ? K40_OK : K40_DIFFERENT;
}

int Run::report()
{
    TextForm form(ctx_);
    if (const int status = load_file_form(args_.positional[0], form); status != K40_OK)
        return status;
    const QString out = args_.value("-o");
    const QByteArray html = settings_report(form.texts);
    if (out == QLatin1String("-")) {
        std::fwrite(html.constData(), 1, size_t(html.size()), out_);
        std::fflush(out_);
        return K40_OK;
    }
    QString why;
    if (!write_file_atomically(out, html, &why)) {
        error(QStringLiteral("не удалось записать отчет %1: %2").arg(out, why));
        return K40_DATA;
    }
    return K40_OK;
}

}  // namespace

namespace {

// A result that did not reach its reader (a full disk, a closed pipe) fails the command.
int finish_output(std::FILE *out, CliSink &sink, int status)
{
    if (std::fflush(out) == 0 && !std::ferror(out))
        return status;
    const int e = errno;
    sink.line(QStringLiteral("k40: не удалось записать результат в стандартный вывод: %1")
                  .arg(system_error_text(e)));
    return K40_DATA;
}

void put(std::FILE *out, const QString &text) { std::fputs(text.toUtf8().constData(), out); }

}  // namespace

int run_k40(int argc, char **argv)
{
    // A closed pipe is a write error to report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    // Results go to the real standard output; everything the layers below print for the
    // window's console joins the messages on standard error, so `--json` stays clean.
    std::fflush(stdout);
    const int result_fd = ::dup(STDOUT_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    std::FILE *out = ::fdopen(result_fd, "w");
    if (!out)
        out = stderr;

    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    CliSink sink(stderr);

    if (arguments.isEmpty()) {
        QStringList names;
        for (const Command &c : commands())
            names << QLatin1String(c.name);
        sink.line(QStringLiteral("Использование: k40 КОМАНДА [ПАРАМЕТРЫ]\nКоманды: %1\n"
                                 "Справка: k40 --help")
                      .arg(names.join(QStringLiteral(", "))));
        return K40_USAGE;
    }
    if (arguments[0] == QLatin1String("--version") || arguments[0] == QLatin1String("-V")) {
        if (arguments.size() > 1) {
            sink.line(QStringLiteral("k40: %1 не принимает аргументов").arg(arguments[0]));
            return K40_USAGE;
        }
        put(out, QStringLiteral("k40 " K40_VERSION "\n"));
        return finish_output(out, sink, K40_OK);
    }
    if (arguments[0] == QLatin1String("--help") || arguments[0] == QLatin1String("-h")
        || arguments[0] == QLatin1String("help")) {
        const Command *c = arguments.size() > 1 ? find_command(arguments[1]) : nullptr;
        if (arguments.size() > 1 && !c) {
            sink.line(QStringLiteral("k40: неизвестная команда %1; список команд: k40 --help")
                          .arg(arguments[1]));
            return K40_USAGE;
        }
        put(out, c ? command_help(*c) : general_help());
        return finish_output(out, sink, K40_OK);
    }
    const Command *command = find_command(arguments[0]);
    if (!command) {
        sink.line((arguments[0].startsWith(QLatin1Char('-'))
                       ? QStringLiteral("k40: неизвестный параметр %1; список команд: k40 --help")
                       : QStringLiteral("k40: неизвестная команда %1; список команд: k40 --help"))
                      .arg(arguments[0]));
        return K40_USAGE;
    }
    Args args;
    QString why;
    if (!parse(arguments.mid(1), *command, args, why)) {
        sink.line(QStringLiteral("k40 %1: %2; справка: k40 %1 --help")
                      .arg(QLatin1String(command->name), why));
        return K40_USAGE;
    }
    if (args.has("--help")) {
        put(out, command_help(*command));
        return finish_output(out, sink, K40_OK);
    }
    if (args.has("--trace")) {
        QString trace_error;
        if (!com_start_trace(args.value("--trace"), &trace_error)) {
            sink.line(QStringLiteral("k40: не удалось открыть файл трассировки %1: %2")
                          .arg(args.value("--trace"), trace_error));
            return K40_DATA;
        }
    }
    int status;
    {
        Run run(args, out, sink);
        status = run.execute();
    }
    com_stop_trace();
    return finish_output(out, sink, status);
}
