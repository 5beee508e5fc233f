#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "collection/collection_file.h"
#include "collection/collection_table.h"
#include "test_files.h"

namespace orvela {
namespace {

using testing::AssetPath;
using testing::ReadBytes;
using testing::ScratchDir;
using testing::WriteBytes;

const std::string kHead =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";

std::string Fields(const TCollectionTable::Widths& w) {
  const char* names[] = {"Interpret", "Titel", "Pfad", "Genre", "Jahr", "Dauer"};
  std::string s;
  for (int i = 0; i < 6; ++i)
    s += std::string("<FIELD attrname=\"") + names[i] + "\" fieldtype=\"string\" WIDTH=\"" + std::to_string(w[i]) +
         "\"/>";
  return s + "</FIELDS>";
}

const std::string kEmptyCollection = kHead + Fields(TCollectionTable::CollectionWidths()) +
                                     "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>";
const std::string kEmptyTransfer = kHead + Fields(TCollectionTable::TransferWidths()) +
                                   "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>";

const std::string kAlphaRow =
    "<ROW RowState=\"4\" Interpret=\"Alpha\" Titel=\"Song\" Pfad=\"D:&#092;Musik&#092;Song.mp3\" Genre=\"Pop\" "
    "Jahr=\"1974\" Dauer=\"02:46\"/>";
const std::string kBetaRow =
    "<ROW RowState=\"4\" Interpret=\"Beta\" Titel=\"Other\" Pfad=\"D:&#092;Musik&#092;Other.mp3\" Genre=\"Rock\" "
    "Jahr=\"1980\" Dauer=\"03:10\"/>";

void AppendAlphaAndBeta(TCollectionTable* t) {
  t->AppendRecord("Alpha", "Song", "D:\\Musik\\Song.mp3", "Pop", "1974", "02:46");
  t->AppendRecord("Beta", "Other", "D:\\Musik\\Other.mp3", "Rock", "1980", "03:10");
}

TEST(CollectionFile, EmptyTablesWriteTheDeliveredFiles) {
  ScratchDir dir;
  TCollectionTable collection(TCollectionTable::CollectionWidths(), true);
  AppendAlphaAndBeta(&collection);
  collection.Empty();
  collection.SaveToFile(dir.File("Musikliste.xml"));
  EXPECT_EQ(ReadBytes(dir.File("Musikliste.xml")), kEmptyCollection);
  EXPECT_EQ(ReadBytes(AssetPath("Musikliste.xml")), kEmptyCollection);

  TCollectionTable transfer(TCollectionTable::TransferWidths(), false);
  transfer.SaveToFile(dir.File("TempMusikliste.xml"));
  EXPECT_EQ(ReadBytes(dir.File("TempMusikliste.xml")), kEmptyTransfer);
  EXPECT_EQ(ReadBytes(AssetPath("TempMusikliste.xml")), kEmptyTransfer);

  // The delivered file loads as an empty table with its widths.
  collection.LoadFromFile(AssetPath("Musikliste.xml"));
  EXPECT_TRUE(collection.Active());
  EXPECT_TRUE(collection.IsEmpty());
  EXPECT_EQ(collection.FieldWidth(TCollectionTable::Genre), 20u);
}

TEST(CollectionFile, ChangeLogFollowsAppendedRowsThroughLoadAndSave) {
  ScratchDir dir;
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames("Interpret;Titel");
  AppendAlphaAndBeta(&t);
  t.SaveToFile(dir.File("a.xml"));
  EXPECT_EQ(ReadBytes(dir.File("a.xml")), kHead + Fields(TCollectionTable::CollectionWidths()) +
                                              "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>" + kAlphaRow +
                                              kBetaRow + "</ROWDATA></DATAPACKET>");

  TCollectionTable reloaded(TCollectionTable::CollectionWidths(), true);
  reloaded.LoadFromFile(dir.File("a.xml"));
  reloaded.AppendRecord("Gamma", "Third", "", "", "", "01:00");
  reloaded.SaveToFile(dir.File("b.xml"));
  EXPECT_EQ(ReadBytes(dir.File("b.xml")), kHead + Fields(TCollectionTable::CollectionWidths()) +
                                              "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4 3 0 4\"/></METADATA><ROWDATA>" +
                                              kAlphaRow + kBetaRow +
                                              "<ROW RowState=\"4\" Interpret=\"Gamma\" Titel=\"Third\" "
                                              "Dauer=\"01:00\"/></ROWDATA></DATAPACKET>");
}

TEST(CollectionFile, StorageOrderIgnoresSortAndFilterAndSkipsDeletedRows) {
  ScratchDir dir;
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.SetIndexFieldNames("Interpret;Titel");
  t.AppendRecord("Zeta", "z", "", "", "", "");
  t.AppendRecord("Alpha", "a", "", "", "", "");
  t.AppendRecord("Mu", "m", "", "", "", "");
  t.SetFilter("Interpret='Mu'");
  t.SetFiltered(true);
  t.DeleteCurrent();
  t.SetFilter("Interpret='Zeta'");
  t.SaveToFile(dir.File("a.xml"));
  EXPECT_EQ(ReadBytes(dir.File("a.xml")), kHead + Fields(TCollectionTable::CollectionWidths()) +
                                              "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
                                              "<ROW RowState=\"4\" Interpret=\"Zeta\" Titel=\"z\"/>"
                                              "<ROW RowState=\"4\" Interpret=\"Alpha\" Titel=\"a\"/>"
                                              "</ROWDATA></DATAPACKET>");
}

TEST(CollectionFile, RowsReadWithoutMarkStayUnmarked) {
  ScratchDir dir;
  WriteBytes(dir.File("in.xml"), kHead + Fields(TCollectionTable::CollectionWidths()) +
                                     "<PARAMS/></METADATA><ROWDATA><ROW Interpret=\"Old\"/></ROWDATA></DATAPACKET>");
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.LoadFromFile(dir.File("in.xml"));
  t.AppendRecord("New", "", "", "", "", "");
  t.SaveToFile(dir.File("out.xml"));
  EXPECT_EQ(ReadBytes(dir.File("out.xml")), kHead + Fields(TCollectionTable::CollectionWidths()) +
                                                "<PARAMS CHANGE_LOG=\"2 0 4\"/></METADATA><ROWDATA>"
                                                "<ROW Interpret=\"Old\"/><ROW RowState=\"4\" Interpret=\"New\"/>"
                                                "</ROWDATA></DATAPACKET>");
}

TEST(CollectionFile, EscapesAndCodePageBytesRoundTrip) {
  ScratchDir dir;
  const std::string path = "C:\\Musik\\Rock & Roll\\\"Best\" <1> 'x'.mp3";
  const std::string title = "Tab\there\r\nnext \xFC\xDF\x80 \x01\x7F\x81";
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("M\xF6tley", title, path, "", "", "");
  t.SaveToFile(dir.File("a.xml"));
  const std::string bytes = ReadBytes(dir.File("a.xml"));
  EXPECT_NE(bytes.find("Interpret=\"M\xF6tley\""), std::string::npos);
  EXPECT_NE(bytes.find("Titel=\"Tab&#009;here&#013;&#010;next \xFC\xDF\x80 \x01\x7F\x81\""), std::string::npos);
  EXPECT_NE(bytes.find("Pfad=\"C:&#092;Musik&#092;Rock &amp; Roll&#092;&quot;Best&quot; &lt;1&gt; &apos;x&apos;.mp3\""),
            std::string::npos);
  EXPECT_EQ(bytes.find("Genre="), std::string::npos);
  EXPECT_EQ(bytes.find("Jahr="), std::string::npos);
  EXPECT_EQ(bytes.find('\n'), std::string::npos);

  TCollectionTable back(TCollectionTable::CollectionWidths(), true);
  back.LoadFromFile(dir.File("a.xml"));
  ASSERT_EQ(back.RecordCount(), 1);
  EXPECT_EQ(back.FieldAsString("Interpret"), "M\xF6tley");
  EXPECT_EQ(back.FieldAsString("Titel"), title);
  EXPECT_EQ(back.FieldAsString("Pfad"), path);
  EXPECT_EQ(back.FieldAsString("Genre"), "");
  EXPECT_EQ(back.FieldAsString("Jahr"), "");
}

TEST(CollectionFile, ValuesAreCutToTheirWidths) {
  ScratchDir dir;
  const std::string genre30 = "Progressive Psychedelic Rock!!";
  TCollectionTable collection(TCollectionTable::CollectionWidths(), true);
  collection.AppendRecord("A", "T", "P", genre30, "1999-12-31", "04:05");
  EXPECT_EQ(collection.FieldAsString("Genre"), genre30.substr(0, 20));
  collection.SaveToFile(dir.File("a.xml"));
  EXPECT_NE(ReadBytes(dir.File("a.xml")).find("Genre=\"" + genre30.substr(0, 20) + "\""), std::string::npos);

  TCollectionTable transfer(TCollectionTable::TransferWidths(), false);
  transfer.AppendRecord(collection.FieldAsString("Interpret"), collection.FieldAsString("Titel"),
                        collection.FieldAsString("Pfad"), collection.FieldAsString("Genre"),
                        collection.FieldAsString("Jahr"), collection.FieldAsString("Dauer"));
  EXPECT_EQ(transfer.FieldAsString("Jahr"), "1999");
  EXPECT_EQ(transfer.FieldAsString("Genre"), genre30.substr(0, 20));
  transfer.SaveToFile(dir.File("t.xml"));
  EXPECT_NE(ReadBytes(dir.File("t.xml")).find("Jahr=\"1999\" Dauer=\"04:05\""), std::string::npos);

  // A file's own widths replace the table's and cut both what it holds and what
  // is appended later.
  WriteBytes(dir.File("narrow.xml"),
             kHead + Fields({500, 500, 500, 4, 20, 20}) +
                 "<PARAMS/></METADATA><ROWDATA><ROW Genre=\"Rockabilly\"/></ROWDATA></DATAPACKET>");
  collection.LoadFromFile(dir.File("narrow.xml"));
  EXPECT_EQ(collection.FieldAsString("Genre"), "Rock");
  collection.AppendRecord("", "", "", "Swing", "", "");
  EXPECT_EQ(collection.FieldAsString("Genre"), "Swin");
  EXPECT_EQ(collection.FieldWidth(TCollectionTable::Genre), 4u);
}

struct ReadCase {
  const char* name;
  std::string bytes;
  bool accepted;
  std::string interpret;  // of the first row, when accepted
};

std::string Packet(const std::string& rows, const std::string& params = "<PARAMS/>") {
  return "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + Fields(TCollectionTable::CollectionWidths()) + params +
         "</METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

const std::string kDecl = "<?xml version=\"1.0\" standalone=\"yes\"?>";

// The file read through a buffer of a few bytes gives what it gives when read
// whole: no token, escape, UTF-8 sequence or line of markup may suffer from being
// cut by a buffer's end.
void ExpectTheSameThroughTinyBuffers(const std::string& bytes) {
  std::string whole;
  try {
    TCollectionTable::Widths widths{};
    TTableRows rows;
    ParseCollectionFile(bytes, &widths, &rows);
    whole = FormatCollectionFile(widths, rows);
  } catch (const TableError&) {
    whole = "refused";
  }
  const int fd = ::memfd_create("collection", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  std::string pieces;
  try {
    TCollectionTable::Widths widths{};
    TTableRows rows;
    ReadCollectionFile(fd, &widths, &rows, 64);
    pieces = FormatCollectionFile(widths, rows);
  } catch (const TableError&) {
    pieces = "refused";
  }
  ::close(fd);
  EXPECT_EQ(pieces, whole);
}

TEST(CollectionFile, ReaderAcceptsWhatItShouldAndRejectsTheRest) {
  const std::string fieldsOnly = "<FIELDS>" + Fields(TCollectionTable::CollectionWidths());
  std::string tagname = Packet("<ROW Interpret=\"x\"/>");
  for (std::size_t p; (p = tagname.find("attrname")) != std::string::npos;) tagname.replace(p, 8, "tagname");
  const ReadCase cases[] = {
      {"code page bytes", kDecl + "  " + Packet("<ROW Interpret=\"M\xF6tley\"/>"), true, "M\xF6tley"},
      {"byte order mark makes UTF-8", "\xEF\xBB\xBF" + kDecl + Packet("<ROW Interpret=\"M\xC3\xB6tley \xE2\x82\xAC\"/>"),
       true, "M\xF6tley \x80"},
      {"declared UTF-8", "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + Packet("<ROW Interpret=\"\xC3\x9C\"/>"), true,
       "\xDC"},
      {"declared UTF-8 that is not", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Packet("<ROW Interpret=\"\xDC\"/>"),
       true, "\xDC"},
      {"declared other encoding", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>" + Packet("<ROW Interpret=\"\xC3\x9C\"/>"),
       true, "\xC3\x9C"},
      {"blanks and line breaks", "\r\n \t" + kDecl + "\n" + Packet("<ROW\n Interpret=\"x\"\n/>\n"), true, "x"},
      {"no declaration", Packet("<ROW Interpret=\"x\"/>"), true, "x"},
      {"no DATAPACKET", kDecl + "<METADATA>" + fieldsOnly + "<PARAMS/></METADATA><ROWDATA><ROW Interpret=\"y\"/></ROWDATA>",
       true, "y"},
      {"tagname for attrname", tagname, true, "x"},
      {"other params and row attributes",
       Packet("<ROW RowState=\"4\" Extra=\"1\" Interpret=\"z\"/>", "<PARAMS DEFAULT_ORDER=\"1\" LCID=\"1031\" CHANGE_LOG=\"1 0 4\"/>"),
       true, "z"},
      {"character references", Packet("<ROW Interpret=\"a&#092;b&#252;&#8364;&#x41;&lt;\"/>"), true, "a\\b\xFC\x80" "A<"},
      {"NUL reference keeps the rest", Packet("<ROW Interpret=\"a&#0;b&#x00;c\"/>"), true, std::string("a\0b\0c", 5)},
      // What is not a whole escape stays as it stands; what is beyond Unicode is one unknown character.
      {"references that are not", Packet("<ROW Interpret=\"&#;&#x;&#X41;&#-1;&#65\"/>"), true, "&#;&#x;&#X41;&#-1;&#65"},
      {"references out of range", Packet("<ROW Interpret=\"&#1114112;&#x10FFFF;&#99999999999999999999;\"/>"), true,
       "???"},
      {"references with leading zeros", Packet("<ROW Interpret=\"&#00000000000065;&#x0000000000042;\"/>"), true, "AB"},
      {"named escapes and near misses", Packet("<ROW Interpret=\"&quot;&apos;&gt;&am;&ampx&LT;&amp\"/>"), true,
       "\"'>&am;&ampx&LT;&amp"},
      {"ampersand last", Packet("<ROW Interpret=\"a&\"/>"), true, "a&"},
      {"zero-filled tail", Packet("<ROW Interpret=\"x\"/>") + std::string(3, '\0'), true, "x"},
      {"rows before their widths",
       "<DATAPACKET><ROWDATA><ROW Interpret=\"abcdef\"/></ROWDATA><METADATA><FIELDS>" +
           Fields({3, 500, 500, 20, 20, 20}) + "</METADATA></DATAPACKET>",
       true, "abc"},
      {"field order differs",
       "<DATAPACKET><METADATA><FIELDS>"
       "<FIELD attrname=\"Dauer\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Jahr\" fieldtype=\"string\" WIDTH=\"20\"/>"
       "<FIELD attrname=\"Genre\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"Pfad\" fieldtype=\"string\" WIDTH=\"500\"/>"
       "<FIELD attrname=\"Titel\" fieldtype=\"string\" WIDTH=\"500\"/><FIELD attrname=\"Interpret\" fieldtype=\"string\" WIDTH=\"500\"/>"
       "</FIELDS></METADATA><ROWDATA><ROW Interpret=\"o\"/></ROWDATA></DATAPACKET>",
       true, "o"},

      {"empty file", "", false, ""},
      {"only blanks", "  \r\n", false, ""},
      {"plain text", "Interpret;Titel\nAlpha;Song\n", false, ""},
      {"NUL before the tag", std::string("\0<DATAPACKET/>", 14), false, ""},
      {"unclosed declaration", "<?xml version=\"1.0\" " + Packet(""), false, ""},
      {"cut off", Packet("<ROW Interpret=\"x\"/>").substr(0, 300), false, ""},
      {"unclosed attribute", Packet("<ROW Interpret=\"x/>"), false, ""},
      {"other XML", kDecl + "<html><body>Hallo</body></html>", false, ""},
      {"no METADATA", "<DATAPACKET><ROWDATA></ROWDATA></DATAPACKET>", false, ""},
      {"no FIELDS", "<DATAPACKET><METADATA><PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>", false, ""},
      {"no ROWDATA", "<DATAPACKET><METADATA>" + fieldsOnly + "</METADATA></DATAPACKET>", false, ""},
      {"a field missing",
       "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Interpret\" fieldtype=\"string\" WIDTH=\"500\"/></FIELDS>"
       "</METADATA><ROWDATA></ROWDATA></DATAPACKET>",
       false, ""},
      {"unknown field", Packet("").replace(Packet("").find("Dauer"), 5, "Laenge"), false, ""},
      {"field twice", Packet("").replace(Packet("").find("Dauer"), 5, "Titel"), false, ""},
      {"not a string field", Packet("").replace(Packet("").rfind("\"string\""), 8, "\"i4\""), false, ""},
      {"width not a number", Packet("").replace(Packet("").find("\"500\""), 5, "\"5x0\""), false, ""},
      {"width zero", Packet("").replace(Packet("").find("\"500\""), 5, "\"0\""), false, ""},
      {"change log not triples", Packet("<ROW/>", "<PARAMS CHANGE_LOG=\"1 0\"/>"), false, ""},
      {"change log not numbers", Packet("<ROW/>", "<PARAMS CHANGE_LOG=\"a b c\"/>"), false, ""},
      {"JSON", "{\"Interpret\": \"x\"}", false, ""},
      {"NUL inside an element", Packet("<ROW Interpret=\"x\"/>" + std::string(1, '\0')), false, ""},
      {"NUL in a tag", Packet(std::string("<ROW\0 Interpret=\"x\"/>", 20)), false, ""},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.File("case.xml"), c.bytes);
    ExpectTheSameThroughTinyBuffers(c.bytes);
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.AppendRecord("before", "", "", "", "", "");
    if (c.accepted) {
      ASSERT_NO_THROW(t.LoadFromFile(dir.File("case.xml")));
      ASSERT_EQ(t.RecordCount(), 1);
      EXPECT_EQ(t.FieldAsString("Interpret"), c.interpret);
    } else {
      EXPECT_THROW(t.LoadFromFile(dir.File("case.xml")), TableError);
      EXPECT_FALSE(t.Active());
      EXPECT_EQ(t.RecordCount(), 0);
      EXPECT_THROW(t.RecNo(), TableError);
    }
  }
}

// A NUL in a value is a control character like any other: "&#0;" does not cut
// the value there, and the writer writes it raw, as it writes all of them.
TEST(CollectionFile, NulReferenceKeepsTheRestOfTheValue) {
  ScratchDir dir;
  WriteBytes(dir.File("in.xml"), Packet("<ROW Interpret=\"Intro&#0;Outro\" Titel=\"&#0;\"/>"));
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.LoadFromFile(dir.File("in.xml"));
  const std::string value("Intro\0Outro", 11);
  EXPECT_EQ(t.FieldAsString("Interpret"), value);
  EXPECT_EQ(t.FieldAsString("Titel"), std::string(1, '\0'));
  t.SaveToFile(dir.File("out.xml"));
  EXPECT_NE(ReadBytes(dir.File("out.xml")).find("<ROW Interpret=\"" + value + "\" Titel=\"" + std::string(1, '\0') + "\"/>"),
            std::string::npos);
  TCollectionTable back(TCollectionTable::CollectionWidths(), true);
  back.LoadFromFile(dir.File("out.xml"));
  EXPECT_EQ(back.FieldAsString("Interpret"), value);
  EXPECT_EQ(back.FieldAsString("Titel"), std::string(1, '\0'));
}

TEST(CollectionFile, MissingFileAndUnwritablePathThrow) {
  ScratchDir dir;
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.AppendRecord("x", "", "", "", "", "");
  EXPECT_THROW(t.SaveToFile(dir.File("no/such/folder/Musikliste.xml")), TableError);
  EXPECT_THROW(t.LoadFromFile(dir.File("missing.xml")), TableError);
  EXPECT_FALSE(t.Active());
  EXPECT_THROW(t.SaveToFile(dir.File("closed.xml")), TableError);
}

TEST(CollectionFile, MarksComeFromRowStateOrChangeLog) {
  ScratchDir dir;
  WriteBytes(dir.File("in.xml"),
             Packet("<ROW Interpret=\"a\"/><ROW RowState=\"4\" Interpret=\"b\"/><ROW Interpret=\"c\"/>",
                    "<PARAMS CHANGE_LOG=\"3 0 4 9 0 4\"/>"));
  TCollectionTable t(TCollectionTable::CollectionWidths(), true);
  t.LoadFromFile(dir.File("in.xml"));
  t.SaveToFile(dir.File("out.xml"));
  EXPECT_EQ(ReadBytes(dir.File("out.xml")),
            kHead + Fields(TCollectionTable::CollectionWidths()) +
                "<PARAMS CHANGE_LOG=\"2 0 4 3 0 4\"/></METADATA><ROWDATA><ROW Interpret=\"a\"/>"
                "<ROW RowState=\"4\" Interpret=\"b\"/><ROW RowState=\"4\" Interpret=\"c\"/></ROWDATA></DATAPACKET>");
}

}  // namespace
}  // namespace orvela

namespace orvela {
namespace {

// Damaged files of every kind: each either loads or is refused with TableError,
// and a refused one leaves a usable (closed) table behind.
TEST(CollectionFile, DamagedFilesAreRefusedCleanly) {
  ScratchDir dir;
  TCollectionTable source(TCollectionTable::CollectionWidths(), true);
  source.AppendRecord("M\xF6tley & Co", "T<i>tel", "D:\\a\\b.mp3", "Rock", "1985", "03:33");
  source.AppendRecord("Zweiter", "Titel \"2\"", "", "", "1990", "");
  source.SaveToFile(dir.File("good.xml"));
  const std::string good = ReadBytes(dir.File("good.xml"));

  std::uint64_t seed = 7;
  const auto next = [&seed](std::size_t range) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>(seed >> 33) % range;
  };
  int loaded = 0, refused = 0;
  for (int round = 0; round < 300; ++round) {
    std::string bytes = good;
    switch (round % 4) {
      case 0: bytes.resize(next(bytes.size())); break;
      case 1:
        for (int k = 0; k < 3; ++k) bytes[next(bytes.size())] = static_cast<char>(next(256));
        break;
      case 2: bytes.erase(next(bytes.size()), 1 + next(20)); break;
      case 3: {
        const std::size_t at = next(bytes.size());
        bytes.insert(at, bytes.substr(next(bytes.size()), 1 + next(40)));
        break;
      }
    }
    WriteBytes(dir.File("bad.xml"), bytes);
    ExpectTheSameThroughTinyBuffers(bytes);
    TCollectionTable t(TCollectionTable::CollectionWidths(), true);
    t.SetFilter("Interpret like'%o%'");
    t.SetFiltered(true);
    try {
      t.LoadFromFile(dir.File("bad.xml"));
      ++loaded;
      for (int r = 1; r <= t.RecordCount(); ++r) {
        t.SetRecNo(r);
        EXPECT_LE(t.FieldAsString("Genre").size(), t.FieldWidth(TCollectionTable::Genre));
      }
    } catch (const TableError&) {
      ++refused;
      EXPECT_FALSE(t.Active());
      t.Open();
      t.AppendRecord("Otto", "", "", "", "", "");  // passes the filter
      EXPECT_EQ(t.RecordCount(), 1);
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace orvela
