#include "k40.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <unistd.h>

#include "cli_sink.h"
#include "com_port.h"
#include "conf_view.h"
#include "editor_numbers.h"
#include "image_file.h"
#include "radio_operations.h"
#include "settings_report.h"
#include "station_loader.h"
#include "text_form.h"
#include "trace_device.h"

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
         "список последовательных портов: имя, описание, изготовитель, "
         "USB vendor:product",
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
        {"verify", "ФАЙЛ", "считать радиостанцию и сказать, содержит ли она конфигурацию файла",
         RADIO_OPTIONS, 1, 1},
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
    "  1  verify: радиостанция не содержит файл; diff: есть различия\n"
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
        s += QStringLiteral("  %1 %2\n")
                 .arg(QString::fromLatin1(c.name).leftJustified(8), QString::fromUtf8(c.synopsis));
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

// False with `error` set on a wrong command line.
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
        error = QStringLiteral("имя порта пустое или длиннее 31 символа (используйте короткое "
                               "имя или символическую ссылку)");
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
    int load_file_form(const QString &path, TextForm &form);
    int read_radio_form(TextForm &form);
    int load_side(const QString &which, TextForm &form);
    ProgramForm program_form(const TextForm &form) const;
    QString restore_command(const QString &backup) const;

    int ports();
    int read();
    int program();
    int dry_run(const TextForm &file);
    int verify();
    int show();
    int diff();
    int report();
};

int Run::execute()
{
    const QString name = QString::fromLatin1(args_.command->name);
    if (name == QLatin1String("ports"))
        return ports();
    if (const int status = load_station(); status != K40_OK)
        return status;
    if (name == QLatin1String("read"))
        return read();
    if (name == QLatin1String("program"))
        return program();
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
                                        "[Com_Port_Name]= [ИМЯ] (не длиннее 31 символа)")
                             .arg(port_path);
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

int Run::load_file_form(const QString &path, TextForm &form)
{
    RS_EEPROM_IMAGE image{};
    QString why;
    if (!read_image_file(path, image, &why)) {
        error(why);
        return K40_DATA;
    }
    if (!form.load_image(image)) {
        sink_.show_text(QStringLiteral("Ошибка чтения конфигурации из файла."));
        error(QStringLiteral("файл %1 не содержит допустимой конфигурации").arg(path));
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
    QStringList words{QStringLiteral("k40"), QStringLiteral("program")};
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
    const QList<QSerialPortInfo> list = QSerialPortInfo::availablePorts();
    if (list.isEmpty())
        sink_.line(QStringLiteral("Последовательные порты не найдены."));
    for (const QSerialPortInfo &p : list) {
        QString usb;
        if (p.hasVendorIdentifier() && p.hasProductIdentifier())
            usb = QString::number(p.vendorIdentifier(), 16).rightJustified(4, QLatin1Char('0'))
                  + QLatin1Char(':')
                  + QString::number(p.productIdentifier(), 16).rightJustified(4, QLatin1Char('0'));
        print(QStringList{p.systemLocation(), p.description(), p.manufacturer(), usb}.join(
                  QLatin1Char('\t'))
              + QLatin1Char('\n'));
    }
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

    if (const int status = start_link(); status != K40_OK)
        return status;
    sink_.show_text(QStringLiteral("Пожалуйта подождите: сохранение настроек в радиостанцию"));
    QString backup;
    bool backup_failed = false;
    ProgramRun run;
    run.before_writing = [&](const RS_EEPROM_IMAGE &radio) {
        QString why;
        if (write_backup(QStringLiteral("."), radio, QDateTime::currentDateTime(), &backup, &why)) {
            sink_.show_note(QStringLiteral("Резервная копия радиостанции: %1").arg(backup));
            return true;
        }
        backup_failed = true;
        sink_.show_text(QStringLiteral("Ошибка: не удалось сохранить резервную копию %1: %2. "
                                       "В радиостанцию ничего не записано.")
                            .arg(backup, why));
        return false;
    };
    if (program_radio(ctx_, port_, program_form(file), &run)) {
        sink_.show_text(QStringLiteral("Запрограммировали - OK!"));
        return K40_OK;
    }
    sink_.show_text(QStringLiteral("Ошибка программирования"));
    if (run.writes_begun) {
        sink_.line(QStringLiteral("Радиостанция могла быть записана частично. Восстановить ее "
                                  "из резервной копии:"));
        sink_.line(QStringLiteral("  ") + restore_command(backup));
    }
    return backup_failed || run.form_refused ? K40_DATA : K40_RADIO;
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
            f.append(QJsonObject{{QStringLiteral("field"), c.a->key},
                                 {QStringLiteral("label"), c.a->label},
                                 {QStringLiteral("from"), c.a->json},
                                 {QStringLiteral("to"), c.b->json}});
        for (const ByteChange &b : bytes)
            (b.programmable ? w : never)
                .append(
                    QJsonObject{{QStringLiteral("address"), b.address},
                                {QStringLiteral("from"), b.a},
                                {QStringLiteral("to"), b.b},
                                {QStringLiteral("fields"), QJsonArray::fromStringList(b.fields)}});
        print_json({{QStringLiteral("fields"), f},
                    {QStringLiteral("writes"), w},
                    {QStringLiteral("not_programmable"), never},
                    {QStringLiteral("working_channel"), wc}});
        return K40_OK;
    }
    QString s;
    int writes = 0;
    for (const ByteChange &b : bytes)
        writes += b.programmable;
    if (bytes.empty())
        s += QStringLiteral("Радиостанция уже содержит конфигурацию файла: ничего не было бы "
                            "записано.\n");
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
    s += QStringLiteral("Затем радиостанция была бы переключена на рабочий канал %1.\n").arg(wc);
    print(s);
    return K40_OK;
}

int Run::verify()
{
    TextForm file(ctx_);
    if (const int status = load_file_form(args_.positional[0], file); status != K40_OK)
        return status;
    if (const int status = start_link(); status != K40_OK)
        return status;
    RS_EEPROM_IMAGE radio{};
    if (!fetch_radio_image(ctx_, port_, radio))
        return K40_RADIO;
    RS_EEPROM_IMAGE target{};
    if (!build_program_image(ctx_, program_form(file), radio, target)) {
        error(QStringLiteral("конфигурацию файла нельзя записать в эту радиостанцию"));
        return K40_DATA;
    }
    if (std::memcmp(radio.bytes, target.bytes, RS_IMAGE_SIZE) == 0) {
        print(QStringLiteral("Радиостанция содержит конфигурацию файла %1.\n")
                  .arg(args_.positional[0]));
        return K40_OK;
    }
    QStringList addresses;
    for (const ByteChange &b : byte_changes(radio.bytes, target.bytes))
        addresses << QString::number(b.address);
    print(QStringLiteral("Радиостанция НЕ содержит конфигурацию файла %1%2.\n")
              .arg(args_.positional[0], addresses.isEmpty()
                                            ? QString()
                                            : QStringLiteral(": отличаются адреса ")
                                                  + addresses.join(QStringLiteral(", "))));
    return K40_DIFFERENT;
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
            f.append(QJsonObject{{QStringLiteral("field"), c.a->key},
                                 {QStringLiteral("label"), c.a->label},
                                 {QStringLiteral("from"), c.a->json},
                                 {QStringLiteral("to"), c.b->json}});
        for (const ByteChange &c : others)
            o.append(QJsonObject{{QStringLiteral("address"), c.address},
                                 {QStringLiteral("from"), c.a},
                                 {QStringLiteral("to"), c.b}});
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
        sink.line(QStringLiteral("k40: неизвестная команда %1; список команд: k40 --help")
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
