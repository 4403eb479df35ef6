#include "resources/presets.h"

namespace resources {

QString simpleFinals() { return QStringLiteral("ɑ o e i u ü"); }

QString initials() { return QStringLiteral("b p m f d t n l ɡ k h j q x z c s zh ch sh r y w"); }

QString compoundFinals()
{
    return QStringLiteral("ɑi ei ui ɑo ou iu ie üe er ɑn en in un ün ɑnɡ enɡ inɡ onɡ");
}

QString wholeReadSyllables()
{
    return QStringLiteral("zhi chi shi ri zi ci si yi wu yu ye yue yuɑn yin yun yinɡ");
}

QString firstGradeCharacters()
{
    return QStringLiteral("一 二 三 上 口 目 耳 手 日 田 禾 火 虫 云 山 八 十 了 子 人 大 月 儿 头 里 "
                          "可 东 西 天 四 是 女 开 水 去 来 不 小 少 牛 果 鸟 早 书 刀 尺 本 木 林 土 "
                          "力 心 中 五 立 正 在 后 我 好 长 比 巴 把 下 个 雨 们 问 有 半 从 你 才 明 "
                          "同 学 自 己 衣 白 的 又 和 竹 牙 马 用 几 只 石 多 出 见 对 妈 全 回 工 厂");
}

QString hintText()
{
    return QStringLiteral("【字库格式说明】可手动在下面框框添加汉字或拼音，注意每个字或拼音之间用空格隔开。")
        + QStringLiteral("\r\n")
        + QStringLiteral("【拼音声调输法】我们用数字键1234表示四个声调，采用组合键输入的办法，如要输ě同时按住"
                         "e键和3即可");
}

} // namespace resources
