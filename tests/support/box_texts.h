#pragma once

// The texts of the program's message boxes as the tests expect to read them, written here once
// and on purpose not taken from the program's code.
namespace boxtexts {

inline constexpr wchar_t kAssetNotOpenedText[] =
    L"请将该软件放置在游戏路径下，且关闭可能占用进程的其它软件后，再次开启本软件。\r\n\r\n错误代码:0*0E000015";

inline constexpr wchar_t kCacheNotOpenedText[] = L"打开缓存文件失败，请确认占用线程的其它软件已关闭！";

inline constexpr wchar_t kCacheNotWrittenText[] =
    L"缓存文件正在被占用，请关闭杀毒软件或者其它读写进程，再次开启本软件。\r\n\r\n错误代码:0*0E000014";

inline constexpr wchar_t kLeftUnchangedText[] =
    L"写入游戏文件失败，游戏文件保持原样，没有任何改动。请关闭可能占用游戏文件的其它软件后，再次开启本软件。"
    L"\r\n\r\n错误代码:0*0E000012";

inline constexpr wchar_t kRestoreFailedText[] =
    L"写入游戏文件失败，且未能恢复原有数据。请使用游戏平台的“验证游戏文件完整性”功能修复，或重新安装游戏。"
    L"\r\n\r\n错误代码:0*0E000012";

inline constexpr wchar_t kRuntimeError1Text[] =
    L"运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n";

inline constexpr wchar_t kRuntimeError3Text[] =
    L"运行时出错!\r\n\r\n错误代码：3\r\n\r\n错误信息：引用数组成员时维数不为1且不等于该数组目前所具有的维数\r\n";

inline constexpr wchar_t kScriptFailedText[] =
    L"补丁无法应用到当前游戏的数据上，游戏文件没有任何改动。\r\n\r\n错误代码:0*0E000011";

inline constexpr wchar_t kSuccessText[] = L"修正成功！";

inline constexpr wchar_t kTooLargeText[] =
    L"修改冗余数据过多，请重新切换为修正RV版后，再次修改。\r\n\r\n错误代码:0*0E000010";

inline constexpr wchar_t kUnknownBuildText[] =
    L"读取失败，请确保您当前游戏版本为0.750版本以上，或者游戏处于关闭状态，且本工具放置于游戏路径下。";

inline constexpr wchar_t kUnusableJournalText[] =
    L"发现上次中断的修复留下的日志文件qm.journal，但它已损坏或不属于当前游戏版本，本软件没有使用它，也没有改动游戏文件。"
    L"如果游戏无法正常运行，请验证游戏文件完整性或重新安装游戏，然后删除qm.journal。\r\n\r\n错误代码:0*0E000013";

}  // namespace boxtexts
