#pragma once

#include <string>

namespace framora {

// Angles travel as decimal degrees inside the program, as the packed number d.mmss
// (88.0345 is 88°03′45″, further digits are decimals of the second) in the boxes users
// type into, and as labels with "°", "′" and "″" on the frame. Negative angles keep their
// sign in front and are otherwise treated like their magnitude.

// Packed d.mmss text to decimal degrees. A text that is not a number raises FramoraError.
double DmsTextToDegrees(const std::string& text);
// Decimal degrees to the packed form, seconds rounded to whole (halves to even): 88.0625 -> "88.0345".
std::string DegreesToDmsNumber(double degrees);
// Packed form to the label with seconds: "88.0345" -> "88°03′45″".
std::string DmsNumberToLabel(const std::string& text);
// DegreesToDmsNumber then DmsNumberToLabel.
std::string DegreesToDmsLabel(double degrees);
// Label without seconds, the minute rounded by the seconds: 88.0625 -> "88°04′".
std::string DegreesToDmLabel(double degrees);

struct DegreeSplit {
  std::string Degrees;  // up to and including "°"
  std::string Rest;     // what follows, at most 100 GBK bytes
};
// Splits a label after "°". A label without the sign is all degrees.
DegreeSplit SplitAtDegreeSign(const std::string& label);

struct DmsSplit {
  std::string Degrees;  // "88°"
  std::string Minutes;  // the first 4 GBK bytes after "°": "03′"
  std::string Seconds;  // the next 4 bytes: "45″"
};
DmsSplit SplitDmsLabel(const std::string& label);

// Kilometre label: 3456789 m with 2 and 2 digits -> "56.78".
std::string MetresToKmText(int digitsBefore, int digitsAfter, double metres);

}  // namespace framora
