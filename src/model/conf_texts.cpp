#include "conf_texts.h"

QStringList koder_texts()
{
    QStringList t{QStringLiteral("Выключено")};
    for (int k = 1; k <= KODER_MAX; ++k)
        t << QStringLiteral("Ключ %1").arg(k);
    return t;
}

QString koder_text(uint8_t key)
{
    const QStringList t = koder_texts();
    return key < t.size() ? t[key] : t[0];
}

uint8_t koder_from_text(const QString &text)
{
    const int i = koder_texts().indexOf(text);
    return i > 0 ? static_cast<uint8_t>(i) : 0;
}

QStringList ph_texts()
{
    return {QStringLiteral("Выключен"),       QStringLiteral("Низкий"),
            QStringLiteral("Высокий"),        QStringLiteral("Низкий с CTCSS"),
            QStringLiteral("Высокий с CTCSS"), QStringLiteral("CTCSS")};
}

QString ph_text(uint8_t level)
{
    const QStringList t = ph_texts();
    return level < t.size() ? t[level] : t[0];
}

uint8_t ph_from_text(const QString &text)
{
    const int i = ph_texts().indexOf(text);
    return i > 0 ? static_cast<uint8_t>(i) : 0;
}
