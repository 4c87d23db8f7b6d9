// libjpeg's errors, and its warnings about corrupt data, as a jump back into
// the decoder and one sentence for the job's log.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace velta {

// libjpeg's error manager with where to jump on failure. libjpeg hands back a
// jpeg_error_mgr*, so pub must stay the first member.
struct JpegErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code = 0;                     // libjpeg's message code of the failure
  char text[JMSG_LENGTH_MAX] = {};  // libjpeg's message for it
};

// Points cinfo at errors: an error, or a warning that the data is corrupt
// (libjpeg only warns about a file that ends early and decodes grey in its
// place), records the message and longjmps to errors.jump. Call before
// jpeg_create_decompress.
void UseJpegErrors(jpeg_decompress_struct& cinfo, JpegErrors& errors);

// The sentence for the failure recorded in errors.
std::string JpegProblem(const JpegErrors& errors, const jpeg_decompress_struct& cinfo);

}  // namespace velta
