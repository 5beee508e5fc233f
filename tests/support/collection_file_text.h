#pragma once
// The collection file's head and tail as the program writes them, for tests
// that hand a tool a file with rows of their own making.
namespace orvela::testing {

inline constexpr char kCollectionFileHead[] =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"Interpret\" fieldtype=\"string\" WIDTH=\"500\"/>"
    "<FIELD attrname=\"Titel\" fieldtype=\"string\" WIDTH=\"500\"/>"
    "<FIELD attrname=\"Pfad\" fieldtype=\"string\" WIDTH=\"500\"/>"
    "<FIELD attrname=\"Genre\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Jahr\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Dauer\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "</FIELDS><PARAMS/></METADATA><ROWDATA>";
inline constexpr char kCollectionFileTail[] = "</ROWDATA></DATAPACKET>";

}  // namespace orvela::testing
