// The control's automation contract, in one table: the library's and classes' GUIDs, the
// ProgIDs, and the members of its dual interface in vtable order with their dispatch ids,
// types and help strings. The control's dispatch ids and the type-library writer are both
// built from it. Portable code.
#pragma once

#include <cstdint>
#include <string_view>

namespace qcd::automation {

// A GUID's fields as the platform lays them out.
struct Guid {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
};

inline constexpr Guid kLibraryId = {
    0x386E3D79, 0xC8AB, 0x439A, {0xB8, 0x98, 0x49, 0xD8, 0x71, 0xD3, 0x25, 0x11}};
inline constexpr Guid kInterfaceId = {
    0xA08700ED, 0x817C, 0x462A, {0x86, 0xAC, 0x90, 0xE5, 0x9F, 0x39, 0xE6, 0x12}};
inline constexpr Guid kEventsId = {
    0x101CD0F1, 0x0328, 0x4CC4, {0x8F, 0xAC, 0x67, 0xD9, 0x5F, 0xFC, 0xAB, 0xCA}};
inline constexpr Guid kControlClassId = {
    0x880854AE, 0x9432, 0x40C2, {0xA1, 0x7E, 0xDB, 0xD9, 0x02, 0x7A, 0xAD, 0x7F}};
inline constexpr Guid kPropertyPageClassId = {
    0xE3C9EFB4, 0xA81C, 0x4B5E, {0x83, 0x8A, 0x80, 0xD8, 0xEA, 0xDF, 0x09, 0x5D}};

inline constexpr uint16_t kLibraryMajor = 1;
inline constexpr uint16_t kLibraryMinor = 0;
inline constexpr char16_t kLibraryName[] = u"QuorCommonDialogControl";
inline constexpr char16_t kProgId[] = u"QuorCommonDialogControl.QuorComDlg";
inline constexpr char16_t kProgIdVersioned[] = u"QuorCommonDialogControl.QuorComDlg.1";

// The About command's id, which hosts offer as such.
inline constexpr int32_t kAboutBoxId = -552;

enum class MemberType : uint8_t { None, Bstr, I2, I4, Bool, PositionType, BGSType };

struct Member {
    const char16_t* name;
    int32_t dispid;  // a property's getter and setter share it
    bool isProperty;
    MemberType type;
    const char16_t* help;  // nullptr: none
};

// Interface order: a method is one vtable entry, a property its getter and then its setter.
inline constexpr Member kMembers[] = {
    {u"Show_AboutBox", kAboutBoxId, false, MemberType::None, nullptr},
    {u"DefaultExt", 1, true, MemberType::Bstr,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽのﾌｧｲﾙの拡張子の既定値を設定します。値の取得も可能です。"},
    {u"FileName", 2, true, MemberType::Bstr,
     u"選択されているﾌｧｲﾙの，ﾊﾟｽ及びﾌｧｲﾙ名を設定します。値の取得も可能です。"},
    {u"InitDir", 3, true, MemberType::Bstr,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽを表示するとき，最初に表示するﾃﾞｨﾚｸﾄﾘを設定します。値の取得も可能です。"},
    {u"MaxFileSize", 4, true, MemberType::I2,
     u"ｺﾓﾝ ﾀﾞｲｱﾛｸﾞ ｺﾝﾄﾛｰﾙを使って開かれるﾌｧｲﾙの最大ｻｲｽﾞを設定します。値の取得も可能です。"},
    {u"DialogTitle", 5, true, MemberType::Bstr,
     u"ﾀﾞｲｱﾛｸﾞのﾀｲﾄﾙ ﾊﾞｰに表示する文字列を設定します。値の取得も可能です。"},
    {u"FilterIndex", 6, true, MemberType::I4,
     u"[ﾌｧｲﾙを開く]，[ﾌｧｲﾙ名を付けて保存] の各ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽについて ﾌｨﾙﾀの既定値を設定します。値の取得も可能です。"},
    {u"Filter", 7, true, MemberType::Bstr,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽの [ﾌｧｲﾙの種類] ﾘｽﾄ ﾎﾞｯｸｽに表示されるﾌｨﾙﾀを設定します。値の取得も可能です。"},
    {u"ShowOpen", 8, false, MemberType::None, nullptr},
    {u"ShowSave", 9, false, MemberType::None, nullptr},
    {u"CancelError", 10, true, MemberType::Bool,
     u"ﾕｰｻﾞｰが [ｷｬﾝｾﾙ] ﾎﾞﾀﾝを選択した場合に，ｴﾗｰが生成されるかどうかを示します。"},
    {u"SlideFolder", 11, true, MemberType::Bstr,
     u"ﾊﾞｯｸｸﾞﾗｳﾝﾄﾞｽﾗｲﾄﾞを表示する場合，ｽﾗｲﾄﾞ表示する画像の入ったﾌｫﾙﾀﾞを指定します。\r\n"
     u"値の取得も可能です。"},
    {u"FileTitle", 12, true, MemberType::Bstr,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽで選択されたﾌｧｲﾙのﾊﾟｽを含まないﾌｧｲﾙ名を返します。"},
    {u"DialogLeft", 13, true, MemberType::I4,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値が 0 のとき，画面上の左端からの値を設定します。値の取得も可能です。"},
    {u"DialogTop", 14, true, MemberType::I4,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値が 0 のとき，画面上の上端からの値を設定します。値の取得も可能です。"},
    {u"Position", 15, true, MemberType::PositionType,
     u"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値を設定します。値の取得も可能です。"},
    {u"BackGroundSlide", 16, true, MemberType::BGSType,
     u"[ﾌｧｲﾙを開く] ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽで，waveﾌｧｲﾙやmp3ﾌｧｲﾙをﾌﾟﾚﾋﾞｭｰする場合に，ﾊﾞｯｸｸﾞﾗｳﾝﾄﾞに画像ｽﾗｲﾄﾞを表示するかどうかを設定します。値の取得も可能です。"},
};

struct EnumMember {
    const char16_t* name;
    int32_t value;
};

inline constexpr EnumMember kPositionTypeMembers[] = {{u"手動", 0}, {u"中央", 1}};
inline constexpr EnumMember kBGSTypeMembers[] = {{u"なし", 0}, {u"既定値", 1}, {u"設定", 2}};

// The dispatch id of the member called `name`; a name not in the table does not compile.
consteval int32_t DispidOf(std::u16string_view name) {
    for (const Member& m : kMembers)
        if (name == m.name) return m.dispid;
    throw "no such member";
}

// Whether two texts of any character type hold the same UTF-16 units.
template <typename A, typename B>
consteval bool SameText(const A* a, const B* b) {
    for (;; ++a, ++b) {
        if (static_cast<char32_t>(*a) != static_cast<char32_t>(*b)) return false;
        if (*a == 0) return true;
    }
}

}  // namespace qcd::automation
