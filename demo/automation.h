// Late-bound calls on the control, the way a script or a property browser makes them:
// by name through IDispatch, with failures turned into run-time error numbers.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace demo {

struct Failure {
    HRESULT hr = S_OK;
    int number = 0;  // the run-time error number a script would see, 0 when there is none
    std::wstring description;

    // "エラー 382: <description> (0x800A017E)", or the HRESULT alone.
    std::wstring Text() const;
};

// The run-time error number of an automation failure: facility-control codes carry it, and
// the type library's own conversions map onto the runtime's numbers.
int RuntimeErrorNumber(HRESULT hr);

// A failure is described in `failure` when one is given.
HRESULT DispIdOf(IDispatch* object, const wchar_t* name, DISPID* id, Failure* failure = nullptr);

// Reads a property as text (booleans as True/False) .
HRESULT GetPropertyText(IDispatch* object, const wchar_t* name, std::wstring& text, Failure* failure);
// Assigns text; the type library converts it to the property's type.
HRESULT PutPropertyText(IDispatch* object, const wchar_t* name, const std::wstring& text, Failure* failure);
HRESULT CallMethod(IDispatch* object, DISPID id, Failure* failure);

// From the object's type information: the help string of a member, and what a property
// holds: "String", "Integer", "Long", "Boolean", or an enumeration's members ("手動=0 中央=1").
std::wstring HelpStringOf(IDispatch* object, DISPID id);
std::wstring TypeHintOf(IDispatch* object, DISPID id);

}  // namespace demo
