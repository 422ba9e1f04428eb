"""Writes the editor stubs (.pyi) and the reference pages (.md) of Korvane's built-in
modules, read from the live modules of the running plug-in.

Run as a script plug-in (korvane-host --scripts tools/authoring) with KORVANE_AUTHOR_OUT
naming the output folder; it writes OUT/stubs/<Module>.pyi, OUT/reference/<Module>.md,
OUT/reference/README.md and, last, OUT/complete.
"""
import inspect
import os
import re
import sys
import types

# Parameter types follow the SDK's naming: the fixed names first, then by suffix.
EXACT_TYPES = {
    "self": "Any",
    "inColorRGB": "Sequence[float]",
    "inAircraft": "list[str]",
    "inParam": "int | str | bytes",
    "inDrawStateInfo": "Any",
    "inNameFragment": "str | None",
    "inIDFragment": "str | None",
    "inLat": "float | None",
    "inLon": "float | None",
    "inFrequency": "int | None",
    "script": "Any",
    "inWidgetDefs": "list[list[Any]]",
    "ioWidgets": "list[Any]",
    "inDescriptor": "str",
    "inObject": "Any",
    "inParams": "Sequence[Any]",
    "inFeature": "str",
    "inEnumerator": "Callable[..., Any]",
    "inExists": "list[Any] | int | None",
    "inLocations": "Sequence[Sequence[float]]",
    "enumerator": "Callable[..., Any]",
}
FLOAT_NAMES = ("Interval", "Latitude", "Longitude", "Altitude", "Lat", "Lon", "inX", "inY", "inZ", "Pitch",
               "Roll", "Yaw")
TEXT_SUFFIXES = ("Name", "String", "Path", "Signature", "Description", "Code", "Char", "text", "signature")
CALLABLE_SUFFIXES = ("Callback", "Func", "Handler", "FlightLoop")
ACCESSOR_SLOTS = ("inReadInt", "inWriteInt", "inReadFloat", "inWriteFloat", "inReadDouble", "inWriteDouble",
                  "inReadIntArray", "inWriteIntArray", "inReadFloatArray", "inWriteFloatArray", "inReadData",
                  "inWriteData")
# Value parameters whose type only the function tells.
VALUE_TYPES = {
    "XPLMSetDatai": "int",
    "XPLMSetDataf": "float",
    "XPLMSetDatad": "float",
    "XPLMSetDatavi": "Sequence[int]",
    "XPLMSetDatavf": "Sequence[float]",
    "XPLMSetDatab": "Sequence[Any]",
    "XPLMDrawNumber": "float",
}
# Results worth naming; every other function answers Any (lookups too, which answer
# None when they find nothing).
RESULT_TYPES = {
    "XPLMGetDatai": "int",
    "XPLMGetDataf": "float",
    "XPLMGetDatad": "float",
    "XPLMGetDatavi": "int",
    "XPLMGetDatavf": "int",
    "XPLMGetDatab": "int",
    "XPLMCanWriteDataRef": "int",
    "XPLMIsDataRefGood": "int",
    "XPLMMeasureString": "float",
    "XPLMFindSymbol": "int",
    "XPLMGetDataRefTypes": "int",
    "XPLMGetElapsedTime": "float",
    "XPLMGetCycleNumber": "int",
    "XPLMCreateWindow": "int",
    "XPLMRegisterHotKey": "int",
    "XPLMFindPluginsMenu": "int",
    "XPLMGetSystemPath": "str",
    "XPLMGetPrefsPath": "str",
    "XPLMGetDirectorySeparator": "str",
    "XPLMCreateCommand": "int",
    "XPLMProbeTerrainXYZ": "int",
    "XPLMLookupObjects": "int",
}


def parameter_type(function, name):
    if name in EXACT_TYPES:
        return EXACT_TYPES[name]
    if name in ("inValue", "inValues") and function in VALUE_TYPES:
        return VALUE_TYPES[function]
    if name.startswith("out"):
        return "list[Any] | None"
    if name in ACCESSOR_SLOTS or name == "inNotificationFunc":
        return "Callable[..., Any] | None"
    if name.endswith(CALLABLE_SUFFIXES) or name == "inControlFunc":
        return "Callable[..., Any]"
    if name.endswith(TEXT_SUFFIXES):
        return "str"
    if name.endswith(FLOAT_NAMES) or name in FLOAT_NAMES:
        return "float"
    return "int"


def korvane_modules():
    """The modules the plug-in made for scripts: neither imported from a file nor built in, nor private."""
    found = []
    for name, module in list(sys.modules.items()):
        if (not isinstance(module, types.ModuleType) or name == "__main__" or name.startswith("_")
                or name in sys.builtin_module_names):
            continue
        if getattr(module, "__spec__", None) is None and getattr(module, "__file__", None) is None:
            found.append(module)
    return sorted(found, key=lambda module: module.__name__)


def members(module):
    functions, constants = [], []
    for name, value in vars(module).items():
        if name.startswith("__"):
            continue
        if isinstance(value, types.BuiltinFunctionType):
            functions.append((name, value))
        elif isinstance(value, int):
            constants.append((name, value))
    return functions, constants


def parameters(function):
    """The argument names, or None for a function whose table entry gives none (the
    authoring test fails on such a function; its stub then takes anything)."""
    try:
        return [p.name for p in inspect.signature(function).parameters.values()]
    except ValueError:
        return None


def shown_signature(function):
    names = parameters(function)
    if names is None:
        return "(...)"
    return "(%s)" % ", ".join(names + ["/"]) if names else "()"


def typed_parameters(function_name, names):
    typed = ", ".join("%s: %s" % (p, parameter_type(function_name, p)) for p in names)
    return typed + ", /" if names else typed


def stub_line(name, function):
    names = parameters(function)
    typed = "*args: Any" if names is None else typed_parameters(name, names)
    return "def %s(%s) -> %s:" % (name, typed, RESULT_TYPES.get(name, "Any"))


def other_forms(name, function):
    """Further argument lists a function takes, as its doc string spells them:
    NAME(arg, arg, ...)."""
    doc = function.__doc__ or ""
    return [[p.strip() for p in found.split(",") if p.strip()]
            for found in re.findall(r"\b%s\(([\w, ]*)\)" % re.escape(name), doc)]


def stub_lines(name, function):
    """One definition, or overloads when the function takes more than one argument list
    (the text signature's form last)."""
    forms = other_forms(name, function)
    body = "    " + docstring(function.__doc__ or "")
    if not forms:
        return [stub_line(name, function), body]
    lines = []
    for names in forms:
        lines += ["@overload", "def %s(%s) -> %s: ..." % (name, typed_parameters(name, names),
                                                         RESULT_TYPES.get(name, "Any"))]
    return lines + ["@overload", stub_line(name, function), body]


def docstring(text):
    plain = '"' not in text and "\\" not in text and "\n" not in text
    return '"""%s"""' % text if plain else repr(text)


def write_stub(folder, module):
    functions, constants = members(module)
    lines = ['"""Korvane\'s %s module."""' % module.__name__,
             "from typing import Any, Callable, Sequence, overload", ""]
    for name, value in constants:
        lines.append("%s: int  # = %d" % (name, value))
    if constants:
        lines.append("")
    for name, function in functions:
        lines += stub_lines(name, function)
        lines.append("")
    with open(os.path.join(folder, module.__name__ + ".pyi"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def write_reference(folder, module):
    functions, constants = members(module)
    lines = ["# %s" % module.__name__, "", "[All modules](README.md)", ""]
    if functions:
        lines += ["## Functions", ""]
        for name, function in functions:
            lines += ["### `%s%s`" % (name, shown_signature(function)), "", function.__doc__ or "", ""]
    if constants:
        lines += ["## Constants", "", "| Name | Value |", "|---|---|"]
        lines += ["| `%s` | %d |" % (name, value) for name, value in constants]
        lines.append("")
    with open(os.path.join(folder, module.__name__ + ".md"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def counted(number, noun):
    return "%d %s%s" % (number, noun, "" if number == 1 else "s")


def write_index(folder, modules):
    lines = ["# Korvane's built-in modules", "",
             "Generated from the running plug-in; one page per module, every function with its",
             "arguments and doc string. Functions take their arguments by position only.", ""]
    for module in modules:
        functions, constants = members(module)
        lines.append("- [%s](%s.md): %s, %s" % (module.__name__, module.__name__,
                                              counted(len(functions), "function"), counted(len(constants), "constant")))
    lines.append("")
    with open(os.path.join(folder, "README.md"), "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def write_all(out):
    stubs = os.path.join(out, "stubs")
    reference = os.path.join(out, "reference")
    os.makedirs(stubs, exist_ok=True)
    os.makedirs(reference, exist_ok=True)
    modules = korvane_modules()
    for module in modules:
        write_stub(stubs, module)
        write_reference(reference, module)
    write_index(reference, modules)
    with open(os.path.join(out, "complete"), "w") as done:
        done.write("\n".join(module.__name__ for module in modules) + "\n")


class Korvane:
    def XPluginStart(self):
        out = os.environ.get("KORVANE_AUTHOR_OUT")
        if out:
            write_all(out)
        return "Author files", "korvane.authorfiles", "Writes stubs and reference pages"

    def XPluginStop(self):
        pass

    def XPluginEnable(self):
        return 1

    def XPluginDisable(self):
        pass

    def XPluginReceiveMessage(self, sender, message, parameter):
        pass
