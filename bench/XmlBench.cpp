// Parsing and writing a 1 MB and a 10 MB document with the system's XML reader and writer,
// beside libxml2 doing the same work on the same text, so that the ratio can be read from one
// run.
#include "System/String.h"
#include "System/Xml/XmlDoc.h"
#include "System/Xml/XmlNode.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <string>

namespace {

using System::String;
using System::Xml::XmlDoc;
using System::Xml::XmlItem;
using System::Xml::XmlNode;

// One item of a catalogue shaped like the media file: attributes, a few text children (some
// needing escapes) and an empty element.
XmlNode Item(int id) {
    XmlNode item;
    item.mName = "item";
    item.SetAttributeValueInt("id", id);
    item.SetAttributeValue("owner", "user & friends <admin>");
    item.SetChildValueInt("id", id);
    item.SetChildValue("title", String::Parse("Holiday photo \"number\" %d", id));
    item.SetChildValue("summary", "A line\nand another line, with some more text to read.");
    item.SetChildValue("published", "2024/01/02 03:04:05");
    XmlNode preview;
    preview.mName = "preview";
    preview.SetAttributeValue("url", "media/preview.jpg");
    preview.SetAttributeValueInt("width", 160);
    item.AddChild(preview);
    return item;
}

// The indented text of a catalogue of about size bytes.
const std::string& Document(int64_t size) {
    static std::map<int64_t, std::string> documents;
    std::string& text = documents[size];
    if (text.empty()) {
        XmlNode media;
        media.mName = "media";
        const int64_t count = size / Item(0).ToString(true).Length() + 1;
        for (int64_t i = 0; i < count; ++i) {
            media.AddChild(Item(static_cast<int>(i)));
        }
        const String written = media.ToString(true);
        text.assign(written.CStr(), written.Length());
    }
    return text;
}

void Throughput(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void ZelvoLoad(benchmark::State& state) {
    const std::string& text = Document(state.range(0));
    const String input(text.data(), static_cast<uint32_t>(text.size()));
    XmlDoc doc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.Load(input));
    }
    Throughput(state, text.size());
}

void Libxml2Read(benchmark::State& state) {
    const std::string& text = Document(state.range(0));
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                      XML_PARSE_NONET);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    Throughput(state, text.size());
}

void ZelvoWrite(benchmark::State& state) {
    const std::string& text = Document(state.range(0));
    XmlDoc doc;
    const XmlNode* root = doc.Load(String(text.data(), static_cast<uint32_t>(text.size())));
    for (auto _ : state) {
        benchmark::DoNotOptimize(root->ToString(true));
    }
    Throughput(state, text.size());
}

void Libxml2Write(benchmark::State& state) {
    const std::string& text = Document(state.range(0));
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
    for (auto _ : state) {
        xmlChar* out = nullptr;
        int length = 0;
        xmlDocDumpMemory(doc, &out, &length);
        benchmark::DoNotOptimize(out);
        xmlFree(out);
    }
    xmlFreeDoc(doc);
    Throughput(state, text.size());
}

constexpr int64_t kOneMegabyte = 1 << 20;

BENCHMARK(ZelvoLoad)->Arg(kOneMegabyte)->Arg(10 * kOneMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(Libxml2Read)->Arg(kOneMegabyte)->Arg(10 * kOneMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(ZelvoWrite)->Arg(kOneMegabyte)->Arg(10 * kOneMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(Libxml2Write)->Arg(kOneMegabyte)->Arg(10 * kOneMegabyte)->Unit(benchmark::kMillisecond);

}  // namespace
