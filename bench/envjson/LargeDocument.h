#pragma once

#include <string>

// The 10 MB document of the JSON benchmarks: settings-like records with
// strings, numbers, booleans, nested objects, arrays of strings and a
// comment now and then, about ten million characters in all.
inline std::wstring MakeLargeDocument()
{
    constexpr std::size_t kTextSize = 10u * 1024 * 1024; // characters of JSON text
    std::wstring text = L"{\n";
    for (int i = 0; text.size() < kTextSize; ++i) {
        const std::wstring n = std::to_wstring(i);
        if (i % 50 == 0)
            text += L"\t// group " + n + L"\n";
        text += L"\t\"record" + n + L"\": {\n";
        text += L"\t\t\"name\": \"Record number " + n + L" \\\"quoted\\\" \\u00e9\",\n";
        text += L"\t\t\"id\": " + n + L", \"scale\": -12.5e-3, \"visible\": true, \"parent\": null,\n";
        text += L"\t\t\"rect\": \"10,20,300,400\", \"colour\": \"255,128,0\",\n";
        text += L"\t\t\"columns\": [\"alpha\", \"beta\", \"gamma\", \"delta\", " + n + L"],\n";
        text += L"\t\t\"layout\": {\"rows\": [[\"a\", \"b\"], [\"c\", \"d\"]], \"font\": {\"face\": \"Sans\", "
                L"\"size\": 9}}\n";
        text += L"\t},\n";
    }
    text += L"\t\"end\": true\n}\n";
    return text;
}
