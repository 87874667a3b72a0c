// One fault at every point of a read and of a programming run. A healthy run of each
// against the simulated radio is recorded first; then, for every reply of it and every fault
// that can hit that reply, the operation runs again with exactly that one fault, and then
// once more on the healthy radio. The radio sits on a serial line in memory with a virtual
// clock, so every wait is the protocol's own and a cell takes milliseconds.
//
//   k40_fault_matrix                 every cell, the matrix and any failing cell printed
//   k40_fault_matrix --sample N      N cells spread evenly over the matrix
//   k40_fault_matrix --cell OP:I:FAULT   one cell, e.g. program:12:vanish, verbose
//   k40_fault_matrix --script FILE   writes the healthy read-then-program exchange as a
//                                    script for the hostile-radio fuzzer (its seed)
// "program-abort-restores" is programming as the command line runs it: a run that fails
// after taking the radio off the air must put it back.
// Exit status 0 when every cell run holds, 1 otherwise.

#include "com_port.h"
#include "image_codec.h"
#include "image_difference.h"
#include "memory_line.h"
#include "radio_model.h"
#include "radio_operations.h"
#include "radio_protocol.h"
#include "station_loader.h"
#include "two_batch_edit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int BAUD = 9600;
constexpr int COMMIT_DELAY_MS = 40;
// The radio is transmitting with a tone call running, so programming sends mode commands
// before and after writing.
constexpr uint8_t START_SOST = RADIO_SOST_TRANSMITTING | RADIO_SOST_TONE_CALL;
// A technician pressing the button again: what a faulty exchange left on the line is in.
constexpr int BETWEEN_OPERATIONS_MS = 1000;
// The longest single wait of the protocol: an EEPROM commit's reply.
constexpr int64_t LONGEST_WAIT_MS = 15000 + 1000;

enum class Op { Read, Program, ProgramAbortRestores };
constexpr Op OPS[] = {Op::Read, Op::Program, Op::ProgramAbortRestores};
constexpr int OP_COUNT = 3;

const char *op_name(Op op)
{
    static const char *const names[OP_COUNT] = {"read", "program", "program-abort-restores"};
    return names[int(op)];
}

struct FaultKind {
    const char *name;
    unsigned replies;  // the reply kinds it applies to
    std::function<void(SimFaults &, unsigned kind, int nth, int request)> set;
};

FaultRule nth_of(unsigned kind, int nth) { return FaultRule::times(nth, 1).only(kind); }

const std::vector<FaultKind> &fault_kinds()
{
    static const std::vector<FaultKind> kinds = {
        {"silent", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned k, int n, int) { f.silent = nth_of(k, n); }},
        {"garbage", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned k, int n, int) { f.garbage = nth_of(k, n); }},
        {"short-garbage", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned k, int n, int) { f.short_garbage = nth_of(k, n); }},
        {"drop-byte", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned k, int n, int) { f.drop_byte = nth_of(k, n); }},
        {"corrupt-byte", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned k, int n, int) { f.corrupt_byte = nth_of(k, n); }},
        {"bad-state-frame", SIM_REPLY_STATE,
         [](SimFaults &f, unsigned, int n, int) { f.bad_state_frame = FaultRule::times(n, 1); }},
        {"ignore-mode", SIM_REPLY_MODE,
         [](SimFaults &f, unsigned, int n, int) { f.ignore_mode = FaultRule::times(n, 1); }},
        {"dump-differs", SIM_REPLY_DUMP,
         [](SimFaults &f, unsigned, int n, int) { f.dump_differs = FaultRule::times(n, 1); }},
        {"wrong-echo", SIM_REPLY_ECHO,
         [](SimFaults &f, unsigned, int n, int) { f.wrong_echo = FaultRule::times(n, 1); }},
        {"miss-commit", SIM_REPLY_COMMIT,
         [](SimFaults &f, unsigned, int n, int) { f.miss_commit = FaultRule::times(n, 1); }},
        {"vanish", SIM_REPLY_ALL,
         [](SimFaults &f, unsigned, int, int request) { f.vanish_at = request; }},
    };
    return kinds;
}

class Recorder final : public MessageSink {
public:
    void show_text(const QString &text) override
    {
        if (!text.isEmpty())
            texts << text;
    }
    QStringList texts;
};

// One reply of a healthy run.
struct Reply {
    unsigned kind;
    int nth;  // among the replies of its kind
    QString frame;
};

struct Outcome {
    bool ok = false;
    int64_t ms = 0;            // virtual time the operation took
    QByteArray radio;          // the radio's EEPROM afterwards
    RS_EEPROM_IMAGE buffer{};  // the read's image buffer afterwards
    std::vector<Reply> replies;
    QStringList texts;
    SimState state;  // the radio's afterwards
    ProgramRun run;  // what a program-abort-restores run reported
};

// The texts a failed run posts last.
const QString NO_ANSWER = QStringLiteral("Ответ не получен. Проверьте установки COM-порта в файле");
const QString NO_CONTACT = QStringLiteral("Не удалось войти в связь");
const QString WRONG_DATA = QStringLiteral("Считаны неверные данные");
const QString STATE_READ_FAILED = QStringLiteral(
    "Error: Получение состояния РС - чтени из COM порта.");
const QString STATE_WRITE_FAILED = QStringLiteral(
    "Error: Получение состояния РС - запись в COM порт");
const QString LEAVING_AIR = QStringLiteral("Error: Уход с передачи при программировании");
const QString CANCELLING_TONE = QStringLiteral("Error: Отмена тонвызова при программировании");
const QString IMAGE_UNREAD =
    NO_CONTACT
    + QStringLiteral("|Error: Проверка параметров в форме редактирования при программировании");
const QString BATCH_FAILED = QStringLiteral("Error: Отправка 8 пакетов в р/ст");
const QString EEPROM_DIFFERS = QStringLiteral("Error: Не совпадает EEPROM ");
const QString NOT_CONFIRMED = QStringLiteral(
    "Ошибка: память радиостанции записана и проверена, но радиостанция не "
    "подтвердила рабочий канал и прежнее состояние (передача, тональный вызов)");
const QString STATE_NOT_BACK = QStringLiteral(
    "Ошибка: не удалось вернуть радиостанции прежнее состояние (передача, тональный вызов)");
// What a step that was repeated and then went through leaves among a good run's texts.
const QStringList RETRY_NOTES = {
    QStringLiteral("Error: Считано из порта менее 8 пакетов при программировании"),
    QStringLiteral("Error: Не совпали записанные и считанные в порт 8 пакетов при "
                   "программировании. Повторяем операцию."),
    QStringLiteral("Error: Не прошла команда на запись в EEPROM. Повторяем операцию."),
    QStringLiteral("Ошибка выполнения команды к радиостанции - не получен ответ от станции.")};

// The watched state bits: as the matrix's radio starts, off transmission, both off.
constexpr uint8_t OFF_AIR = START_SOST & ~RADIO_SOST_TRANSMITTING;
constexpr uint8_t BOTH_OFF = 0;
enum Channels : unsigned { NK0 = 1, WORKING = 2 };

// Where in its run a reply lies, and so what a fault in it may leave behind.
enum class Phase {
    ReadState,
    ReadImage,
    StateQuery,
    OffAir,
    ToneCancel,
    ImageRead,
    Writes,
    ReadBack,
    Restore
};

struct PhaseRule {
    const char *name;
    QStringList endings;  // what a failure posts last; "a|b" is two texts in a row
    unsigned channels;
    std::vector<uint8_t> states;
};

const PhaseRule &rule_of(Phase phase)
{
    // A state reply goes unchecked into the next mode command's frame, so a garbled one
    // fails that command instead. A mode command the radio executed may still lose its
    // reply. The final restore gives back transmission and the tone call in one command.
    static const PhaseRule rules[] = {
        {"state", {NO_ANSWER, NO_CONTACT, WRONG_DATA}, NK0, {START_SOST}},
        {"image", {NO_CONTACT}, NK0, {START_SOST}},
        {"state", {STATE_READ_FAILED, STATE_WRITE_FAILED, LEAVING_AIR}, NK0, {START_SOST}},
        {"off-air", {LEAVING_AIR, CANCELLING_TONE}, NK0, {START_SOST, OFF_AIR}},
        {"no-tone", {CANCELLING_TONE}, NK0, {OFF_AIR, BOTH_OFF}},
        {"image", {IMAGE_UNREAD}, NK0, {BOTH_OFF}},
        {"writes", {BATCH_FAILED}, NK0, {BOTH_OFF}},
        {"check", {NO_CONTACT, EEPROM_DIFFERS}, NK0, {BOTH_OFF}},
        {"restore", {NOT_CONFIRMED}, NK0 | WORKING, {BOTH_OFF, START_SOST}},
    };
    return rules[int(phase)];
}

// The phase of reply `i` of a healthy run, from the kinds of the replies around it.
Phase phase_of(Op op, const std::vector<Reply> &replies, size_t i)
{
    const unsigned kind = replies[i].kind;
    if (op == Op::Read)
        return kind == SIM_REPLY_STATE ? Phase::ReadState : Phase::ReadImage;
    size_t first_echo = replies.size(), last_dump = 0;
    for (size_t j = 0; j < replies.size(); ++j) {
        if (replies[j].kind == SIM_REPLY_ECHO && first_echo == replies.size())
            first_echo = j;
        if (replies[j].kind == SIM_REPLY_DUMP)
            last_dump = j;
    }
    if (i > last_dump)
        return Phase::Restore;
    if (kind == SIM_REPLY_DUMP)
        return i < first_echo ? Phase::ImageRead : Phase::ReadBack;
    if (kind & (SIM_REPLY_ECHO | SIM_REPLY_COMMIT))
        return Phase::Writes;
    // Before the image: the state query, then a mode command with its confirming query
    // for transmission and one for the tone call.
    const auto modes = std::count_if(replies.begin(), replies.begin() + long(i) + 1,
                                     [](const Reply &r) { return r.kind == SIM_REPLY_MODE; });
    return modes == 0 ? Phase::StateQuery : modes == 1 ? Phase::OffAir : Phase::ToneCancel;
}

// `texts` ends on `ending`'s texts.
bool ends_on(const QStringList &texts, const QString &ending)
{
    const QStringList tail = ending.split(QLatin1Char('|'));
    return texts.size() >= tail.size() && texts.mid(texts.size() - tail.size()) == tail;
}

QByteArray bytes_of(const RS_EEPROM_IMAGE &img)
{
    return QByteArray(reinterpret_cast<const char *>(img.bytes), RS_IMAGE_SIZE);
}

class Bench {
public:
    STATION_CONFIG station{};
    QByteArray old_image;  // the radio before programming
    QByteArray new_image;  // what programming must leave in it
    ProgramForm form;
    RS_EEPROM_IMAGE read_buffer_before{};  // the window's buffer before a read

    bool prepare(QString *error)
    {
        QTemporaryDir dir;
        const QString name = QString::fromLatin1(STATION_CONF_FILE_NAME);
        if (!QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/") + name, dir.filePath(name))
            || read_station_conf_from_file(&station, dir.path().toStdString())
                   != StationLoadResult::Loaded) {
            *error = QStringLiteral("cannot load the shipped station");
            return false;
        }
        std::strncpy(station.Com_Port_Name, "memory", sizeof station.Com_Port_Name - 1);
        station.Com_Port_BaudRate = BAUD;
        QFile f(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
        if (!f.open(QIODevice::ReadOnly) || (old_image = f.readAll()).size() != RS_IMAGE_SIZE) {
            *error = QStringLiteral("cannot read data/sample.eep");
            return false;
        }
        Recorder sink;
        ModelContext ctx{&station, Reporter(&sink, &clock_)};
        RS_EEPROM_IMAGE old_img{}, new_img{};
        std::memcpy(old_img.bytes, old_image.constData(), RS_IMAGE_SIZE);
        RS_CONF conf{};
        if (!decode_image(ctx, old_img, conf)) {
            *error = QStringLiteral("the sample does not decode");
            return false;
        }
        apply_two_batch_edit(conf, form.wc);
        form.conf = conf;
        form.flag_conf_read = true;
        form.form_filled = true;
        RS_CONF enc = conf;
        if (!encode_image(ctx, enc, old_img, new_img, true)) {
            *error = QStringLiteral("the edited form does not encode");
            return false;
        }
        new_img.bytes[60] = old_img.bytes[60];
        new_image = bytes_of(new_img);
        int writes = 0;
        for (int a = 0; a < RS_IMAGE_SIZE; ++a)
            writes += new_img.bytes[a] != old_img.bytes[a] && is_programmable_address(a);
        if (writes <= RADIO_BATCH_PACKETS || writes > 2 * RADIO_BATCH_PACKETS) {
            *error = QStringLiteral("the edit writes %1 bytes, not two batches").arg(writes);
            return false;
        }
        // A buffer unlike the radio, so a read that fills it shows.
        std::memset(&read_buffer_before, 0xA5, sizeof read_buffer_before);
        return true;
    }

    // Runs `op` against a fresh radio holding `radio_image` with `faults`, then (when
    // `follow_up`) the same operation once more with the faults off.
    Outcome run(Op op, const SimFaults &faults, const QByteArray &radio_image,
                Outcome *follow_up = nullptr)
    {
        SimState state;
        state.nk = static_cast<uint8_t>(radio_image[60]);
        state.sost = START_SOST;
        RadioModel model(radio_image, state, faults, COMMIT_DELAY_MS);
        clock_.reset();
        com_set_device_factory(
            [&]() { return std::make_unique<MemoryLine>(clock_, BAUD, radio_far_end(model)); });
        set_default_sleeper(&clock_);
        Outcome first = once(op, model);
        if (follow_up) {
            model.set_faults(SimFaults());
            clock_.sleep_ms(BETWEEN_OPERATIONS_MS);
            *follow_up = once(op, model);
        }
        com_close(last_port_);
        set_default_sleeper(nullptr);
        com_set_device_factory(nullptr);
        return first;
    }

private:
    VirtualClock clock_;
    int last_port_ = -1;

    Outcome once(Op op, RadioModel &model)
    {
        Outcome out;
        Recorder sink;
        ModelContext ctx{&station, Reporter(&sink, &clock_)};
        const size_t frames_before = model.journal().size();
        const int64_t start = clock_.now_us();
        int port = -1;
        out.buffer = read_buffer_before;
        out.run.restore_state_on_abort = op == Op::ProgramAbortRestores;
        out.ok = op == Op::Read      ? fetch_radio_image(ctx, port, out.buffer)
                 : op == Op::Program ? program_radio(ctx, port, form)
                                     : program_radio(ctx, port, form, &out.run);
        out.ms = (clock_.now_us() - start) / 1000;
        last_port_ = port;
        out.radio = model.image();
        out.state = model.state();
        out.texts = sink.texts;
        int seen[32] = {};
        const std::vector<SimFrame> &journal = model.journal();
        for (size_t i = frames_before; i < journal.size(); ++i) {
            const unsigned kind = sim_reply_kind(journal[i].kind);
            if (!kind)
                continue;
            int &n = seen[__builtin_ctz(kind)];
            out.replies.push_back(Reply{kind, n++, format_frame(journal[i])});
        }
        return out;
    }
};

struct Cell {
    Op op;
    int reply;  // 0-based index into the healthy run's replies
    int fault;  // index into fault_kinds()
};

class Matrix {
public:
    Bench bench;
    Outcome healthy[OP_COUNT];
    int64_t limit_ms[OP_COUNT] = {};

    bool record(QString *error)
    {
        if (!bench.prepare(error))
            return false;
        for (Op op : OPS) {
            Outcome &h = healthy[int(op)];
            h = bench.run(op, SimFaults(), bench.old_image);
            const QByteArray want = op == Op::Read ? bench.old_image : bench.new_image;
            const QByteArray got = op == Op::Read ? bytes_of(h.buffer) : h.radio;
            if (!h.ok || got != want) {
                *error = QStringLiteral("the healthy %1 failed: %2")
                             .arg(QString::fromLatin1(op_name(op)), h.texts.join(QLatin1Char('|')));
                return false;
            }
            // Everything once more after the longest wait: one fault costs no more.
            limit_ms[int(op)] = 2 * h.ms + LONGEST_WAIT_MS;
        }
        return true;
    }

    std::vector<Cell> cells() const
    {
        std::vector<Cell> out;
        for (Op op : OPS)
            for (int r = 0; r < int(healthy[int(op)].replies.size()); ++r)
                for (int k = 0; k < int(fault_kinds().size()); ++k)
                    if (fault_kinds()[size_t(k)].replies & healthy[int(op)].replies[size_t(r)].kind)
                        out.push_back(Cell{op, r, k});
        return out;
    }

    // Runs one cell; empty when every invariant held, else why not. `verdict` gets the
    // matrix character: '.' succeeded, 'f' failed cleanly, 'X' broke an invariant.
    QString run(const Cell &c, char &verdict, bool verbose)
    {
        const Reply &reply = healthy[int(c.op)].replies[size_t(c.reply)];
        SimFaults faults;
        faults.seed = 1000u + uint32_t(c.reply) * 16u + uint32_t(c.fault);
        fault_kinds()[size_t(c.fault)].set(faults, reply.kind, reply.nth, c.reply);
        Outcome next;
        const Outcome o = bench.run(c.op, faults, bench.old_image, &next);
        QStringList why;
        const QByteArray &old_image = bench.old_image;
        const uint8_t nk0 = static_cast<uint8_t>(old_image[60]);
        const uint8_t wc = bench.form.wc;
        // The bits the run sets and clears; what a garbled reply does to the others is the
        // radio's matter.
        const uint8_t sost = o.state.sost
                             & (RADIO_SOST_BIT3 | RADIO_SOST_TRANSMITTING | RADIO_SOST_TONE_CALL);
        const QString state_text = QStringLiteral("the radio on channel %1, state 0x%2")
                                       .arg(o.state.nk)
                                       .arg(o.state.sost, 2, 16, QLatin1Char('0'));
        const Phase phase = phase_of(c.op, healthy[int(c.op)].replies, size_t(c.reply));
        const PhaseRule &rule = rule_of(phase);
        const bool vanished = faults.vanish_at >= 0;
        const bool restores = c.op == Op::ProgramAbortRestores;
        if (o.ok) {
            QStringList texts = o.texts;
            for (const QString &note : RETRY_NOTES)
                texts.removeAll(note);
            if (texts != healthy[int(c.op)].texts)
                why << QStringLiteral("succeeded with the texts \"%1\"")
                           .arg(o.texts.join(QLatin1Char('|')));
            if (o.state.nk != (c.op == Op::Read ? nk0 : wc) || sost != START_SOST)
                why << QStringLiteral("success reported with ") + state_text;
        } else {
            // Putting the state back asks a vanished radio first, and says it could not.
            const QString after = restores && o.run.state_restore_failed && phase != Phase::Restore
                                      ? QLatin1Char('|') + STATE_WRITE_FAILED + QLatin1Char('|')
                                            + STATE_NOT_BACK
                                      : QString();
            if (std::none_of(rule.endings.begin(), rule.endings.end(),
                             [&](const QString &e) { return ends_on(o.texts, e + after); }))
                why << QStringLiteral("failed in phase %1 after \"%2\"")
                           .arg(QString::fromLatin1(rule.name), o.texts.join(QLatin1Char('|')));
            const bool channel = ((rule.channels & NK0) && o.state.nk == nk0)
                                 || ((rule.channels & WORKING) && o.state.nk == wc);
            const bool allowed = channel
                                 && std::find(rule.states.begin(), rule.states.end(), sost)
                                        != rule.states.end();
            // Unless the radio is gone, the command line's run puts it back as it found it.
            const bool as_left = restores && !vanished ? o.state.nk == nk0 && sost == START_SOST
                                                       : allowed;
            if (!as_left)
                why << QStringLiteral("failed in phase %1 with ")
                               .arg(QString::fromLatin1(rule.name))
                           + state_text;
            if (restores && o.run.state_restore_failed != (vanished && o.run.state_changed))
                why << QStringLiteral("state_restore_failed %1 after the radio was %2")
                           .arg(o.run.state_restore_failed)
                           .arg(vanished ? QStringLiteral("lost") : QStringLiteral("kept"));
        }
        if (c.op == Op::Read) {
            if (o.radio != old_image)
                why << QStringLiteral("the read changed the radio");
            // The window fills the form only from a buffer two agreeing dumps wrote.
            if (o.ok && bytes_of(o.buffer) != old_image)
                why << QStringLiteral("read reported success over a wrong image: ")
                           + image_difference(bytes_of(o.buffer), old_image);
            if (!o.ok && std::memcmp(&o.buffer, &bench.read_buffer_before, sizeof o.buffer) != 0)
                why << QStringLiteral("a failed read changed the buffer");
            if (!next.ok || bytes_of(next.buffer) != old_image)
                why << QStringLiteral("the next read of the healthy radio failed: ")
                           + next.texts.join(QLatin1Char('|'));
        } else {
            const QByteArray &new_image = bench.new_image;
            if (o.ok && o.radio != new_image)
                why << QStringLiteral("success reported, radio differs: ")
                           + image_difference(o.radio, new_image);
            for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
                if (o.radio[a] == old_image[a])
                    continue;
                if (!is_programmable_address(a) || new_image[a] == old_image[a]
                    || o.radio[a] != new_image[a])
                    why << QStringLiteral("address %1 holds %2, neither old %3 nor new %4")
                               .arg(a)
                               .arg(uint8_t(o.radio[a]))
                               .arg(uint8_t(old_image[a]))
                               .arg(uint8_t(new_image[a]));
            }
            if (!next.ok || next.radio != new_image)
                why << QStringLiteral("the next programming of the healthy radio failed: ")
                           + next.texts.join(QLatin1Char('|'));
        }
        if (o.ms > limit_ms[int(c.op)])
            why << QStringLiteral("took %1 ms, more than %2").arg(o.ms).arg(limit_ms[int(c.op)]);
        verdict = !why.isEmpty() ? 'X' : o.ok ? '.' : 'f';
        if (verbose)
            std::printf("%s reply %d (%s) %s: %s in %lld ms, radio on %d state 0x%02x; %s\n",
                        op_name(c.op), c.reply + 1, qPrintable(reply.frame),
                        fault_kinds()[size_t(c.fault)].name, o.ok ? "OK" : "failed",
                        static_cast<long long>(o.ms), o.state.nk, o.state.sost,
                        qPrintable(o.texts.join(QLatin1Char('|'))));
        return why.join(QStringLiteral("; "));
    }

    void print(const std::vector<Cell> &ran, const std::vector<char> &verdicts) const
    {
        std::printf("%-22s %-5s %-7s %-14s", "", "reply", "phase", "frame");
        for (const FaultKind &k : fault_kinds())
            std::printf(" %.6s", k.name);
        std::printf("\n");
        for (Op op : OPS) {
            const std::vector<Reply> &replies = healthy[int(op)].replies;
            for (int r = 0; r < int(replies.size()); ++r) {
                std::printf("%-22s %5d %-7s %-14s", op_name(op), r + 1,
                            rule_of(phase_of(op, replies, size_t(r))).name,
                            qPrintable(replies[size_t(r)].frame.left(14)));
                for (int k = 0; k < int(fault_kinds().size()); ++k) {
                    char v = (fault_kinds()[size_t(k)].replies & replies[size_t(r)].kind) ? ' '
                                                                                          : '-';
                    for (size_t i = 0; i < ran.size(); ++i)
                        if (ran[i].op == op && ran[i].reply == r && ran[i].fault == k)
                            v = verdicts[i];
                    std::printf(" %6c", v);
                }
                std::printf("\n");
            }
        }
        std::printf("'.' succeeded, 'f' failed cleanly, 'X' broke an invariant, "
                    "'-' does not apply, blank not run\n");
    }
};

bool parse_cell(const QString &text, const Matrix &m, Cell &cell)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return false;
    const Op *op = std::find_if(std::begin(OPS), std::end(OPS),
                                [&](Op o) { return parts[0] == QLatin1String(op_name(o)); });
    if (op == std::end(OPS))
        return false;
    cell.op = *op;
    bool ok = false;
    cell.reply = parts[1].toInt(&ok) - 1;
    if (!ok || cell.reply < 0 || cell.reply >= int(m.healthy[int(cell.op)].replies.size()))
        return false;
    for (int k = 0; k < int(fault_kinds().size()); ++k)
        if (parts[2] == QLatin1String(fault_kinds()[size_t(k)].name))
            cell.fault = k;
    return cell.fault >= 0
           && (fault_kinds()[size_t(cell.fault)].replies
               & m.healthy[int(cell.op)].replies[size_t(cell.reply)].kind);
}

// The healthy read and programming run as the fuzzer's script: the radio's every reply in
// order, prompt and whole.
bool write_script(Matrix &m, const QString &path)
{
    QByteArray script;
    for (Op op : {Op::Read, Op::Program}) {
        SimState state;
        state.nk = static_cast<uint8_t>(m.bench.old_image[60]);
        state.sost = START_SOST;
        RadioModel model(m.bench.old_image, state, SimFaults(), 0);
        // Replay the healthy run's frames through a model to collect its replies.
        VirtualClock clock;
        com_set_device_factory([&]() {
            return std::make_unique<MemoryLine>(clock, BAUD, [&](const uint8_t *d, int n) {
                std::vector<LineReply> replies;
                for (const SimAction &a : model.feed(d, n)) {
                    script += ScriptedFarEnd::entry(a.reply);
                    replies.push_back(LineReply{a.reply, a.delay_ms, a.vanish});
                }
                return replies;
            });
        });
        set_default_sleeper(&clock);
        Recorder sink;
        ModelContext ctx{&m.bench.station, Reporter(&sink, &clock)};
        int port = -1;
        RS_EEPROM_IMAGE buffer{};
        const bool ok = op == Op::Read ? fetch_radio_image(ctx, port, buffer)
                                       : program_radio(ctx, port, m.bench.form);
        com_close(port);
        set_default_sleeper(nullptr);
        com_set_device_factory(nullptr);
        if (!ok)
            return false;
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(script) == script.size();
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int sample = 0;
    QString only, script;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sample") && i + 1 < args.size())
            sample = args[++i].toInt();
        else if (args[i] == QLatin1String("--cell") && i + 1 < args.size())
            only = args[++i];
        else if (args[i] == QLatin1String("--script") && i + 1 < args.size())
            script = args[++i];
        else {
            std::fprintf(stderr, "usage: %s [--sample N | --cell OP:REPLY:FAULT | --script FILE]\n",
                         argv[0]);
            return 2;
        }
    }

    com_service_start();
    Matrix m;
    QString error;
    if (!m.record(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        com_service_stop();
        return 1;
    }
    if (!script.isEmpty()) {
        const bool ok = write_script(m, script);
        com_service_stop();
        return ok ? 0 : 1;
    }
    std::printf("healthy read: %zu replies, %lld ms; healthy programming: %zu replies, %lld ms\n",
                m.healthy[0].replies.size(), static_cast<long long>(m.healthy[0].ms),
                m.healthy[1].replies.size(), static_cast<long long>(m.healthy[1].ms));

    std::vector<Cell> all = m.cells(), chosen;
    if (!only.isEmpty()) {
        Cell c{Op::Read, -1, -1};
        if (!parse_cell(only, m, c)) {
            std::fprintf(stderr, "no such cell: %s\n", qPrintable(only));
            com_service_stop();
            return 2;
        }
        chosen.push_back(c);
    } else if (sample > 0 && sample < int(all.size())) {
        // Evenly spread, so every part of both runs and every fault kind is met.
        for (int i = 0; i < sample; ++i)
            chosen.push_back(all[size_t(i) * all.size() / size_t(sample)]);
    } else {
        chosen = all;
    }

    std::vector<char> verdicts;
    QStringList failures;
    for (const Cell &c : chosen) {
        char v = ' ';
        const QString why = m.run(c, v, !only.isEmpty());
        verdicts.push_back(v);
        if (!why.isEmpty())
            failures << QStringLiteral("%1:%2:%3: %4")
                            .arg(QString::fromLatin1(op_name(c.op)))
                            .arg(c.reply + 1)
                            .arg(QString::fromLatin1(fault_kinds()[size_t(c.fault)].name), why);
    }
    com_service_stop();

    m.print(chosen, verdicts);
    for (const QString &f : failures)
        std::printf("FAILED %s\n", qPrintable(f));
    std::printf("%zu of %zu cells run, %lld failed\n", chosen.size(), all.size(),
                static_cast<long long>(failures.size()));
    return failures.isEmpty() ? 0 : 1;
}
