// The five long operations run by the queue. Until they are written they only say so.

#include "main_window.h"

#include "tfm_message.h"

namespace {
void not_yet(PROGRAMMATOR_K40 &window, const QString &what)
{
    window.reporter().post(what + QStringLiteral(": операция пока не реализована."));
}
}  // namespace

void PROGRAMMATOR_K40::read_rs_conf_from_file()
{
    not_yet(*this, QStringLiteral("Считать из файла"));
}

void PROGRAMMATOR_K40::write_rs_conf_to_file()
{
    not_yet(*this, QStringLiteral("Сохранить в файл"));
}

void PROGRAMMATOR_K40::prn_conf_from_form()
{
    not_yet(*this, QStringLiteral("Вывести на печать"));
}

void PROGRAMMATOR_K40::send_program_to_rs()
{
    not_yet(*this, QStringLiteral("Программирование"));
}

void PROGRAMMATOR_K40::load_conf_from_rs()
{
    not_yet(*this, QStringLiteral("Считать параметры"));
}
