#include "conf_texts.h"

namespace {

// A value outside the list shows, and an unknown text reads as, the first entry ("off").
QString text_at(const QStringList &texts, uint8_t value)
{
    return value < texts.size() ? texts[value] : texts[0];
}

uint8_t index_of(const QStringList &texts, const QString &text)
{
    const int i = texts.indexOf(text);
    return i > 0 ? static_cast<uint8_t>(i) : 0;
}

}  // namespace

QStringList koder_texts()
{
    QStringList t{QStringLiteral("Выключено")};
    for (int k = 1; k <= KODER_MAX; ++k)
        t << QStringLiteral("Ключ %1").arg(k);
    return t;
}

QString koder_text(uint8_t key) { return text_at(koder_texts(), key); }

uint8_t koder_from_text(const QString &text) { return index_of(koder_texts(), text); }

QStringList ph_texts()
{
    return {QStringLiteral("Выключен"),        QStringLiteral("Низкий"),
            QStringLiteral("Высокий"),         QStringLiteral("Низкий с CTCSS"),
            QStringLiteral("Высокий с CTCSS"), QStringLiteral("CTCSS")};
}

QString ph_text(uint8_t level) { return text_at(ph_texts(), level); }

uint8_t ph_from_text(const QString &text) { return index_of(ph_texts(), text); }
