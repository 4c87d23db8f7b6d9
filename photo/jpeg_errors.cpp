#include "photo/jpeg_errors.h"

#include <cctype>
#include <cstring>

#include "photo/decode_limits.h"

namespace velta {
namespace {

// Warnings that leave the photo whole: an unknown JFIF version or Adobe
// transform code, a broken ICC segment (the profile is then set aside), scans
// in an unusual order.
bool HarmlessWarning(int code) {
  return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC ||
         code == JWRN_BOGUS_PROGRESSION;
}

// Records libjpeg's message and jumps back into the decoder.
[[noreturn]] void Fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  errors->code = cinfo->err->msg_code;
  cinfo->err->format_message(cinfo, errors->text);
  std::longjmp(errors->jump, 1);
}

// libjpeg's error_exit: it must not return, and must not end the process.
void ErrorExit(j_common_ptr cinfo) { Fail(cinfo); }

// libjpeg's emit_message: a level below 0 is a warning. Trace messages are
// dropped, and so are the harmless warnings: libjpeg would print them.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && !HarmlessWarning(cinfo->err->msg_code)) Fail(cinfo);
}

// libjpeg's message made to fit after "The JPEG file is corrupt: ".
std::string Tidy(const char* text) {
  std::string message = text;
  constexpr const char* kCorrupt = "Corrupt JPEG data: ";
  if (message.rfind(kCorrupt, 0) == 0) message.erase(0, std::strlen(kCorrupt));
  while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
  // "Bogus marker length" reads on as "bogus marker length"; "SOI" stays.
  if (message.size() > 1 && std::islower(static_cast<unsigned char>(message[1]))) {
    message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
  }
  return message;
}

}  // namespace

// Points cinfo at errors.
void UseJpegErrors(jpeg_decompress_struct& cinfo, JpegErrors& errors) {
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.emit_message = EmitMessage;
}

// The sentence for the failure recorded in errors.
std::string JpegProblem(const JpegErrors& errors, const jpeg_decompress_struct& cinfo) {
  std::string problem;
  switch (errors.code) {
    case JWRN_JPEG_EOF:
      return "The JPEG file is truncated.";
    case JERR_BAD_PRECISION:
      return "The JPEG file has " + std::to_string(errors.pub.msg_parm.i[0]) +
             "-bit samples; only 8-bit JPEG photos can be decoded.";
    case JERR_ARITH_NOTIMPL:
      return "The JPEG file uses arithmetic coding, which this decoder cannot read.";
    case JERR_OUT_OF_MEMORY:
      return "Not enough memory to decode the photo.";
    case JERR_EMPTY_IMAGE:
    case JERR_IMAGE_TOO_BIG:
      // libjpeg has read the size from the frame header before refusing it
      // (an empty image may instead have no colour components).
      if (!CheckPhotoSize(cinfo.image_width, cinfo.image_height, problem)) return problem;
      if (errors.code == JERR_EMPTY_IMAGE) break;
      return "The photo has " + std::to_string(cinfo.image_width) + " x " + std::to_string(cinfo.image_height) +
             " pixels, a side longer than the " + std::to_string(JPEG_MAX_DIMENSION) + " the JPEG decoder takes.";
    default:
      break;
  }
  return "The JPEG file is corrupt: " + Tidy(errors.text) + ".";
}

}  // namespace velta
