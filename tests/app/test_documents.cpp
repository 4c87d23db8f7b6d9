// Documents the application's tests print.
#include "tests/app/test_documents.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace velta::apptest {

bool WritePdf(const std::string& path, int pages, double width, double height) {
  // Objects: 1 catalog, 2 page tree, then a page and its content per page.
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
  std::ostringstream kids;
  for (int i = 0; i < pages; ++i) {
    const int page = 3 + 2 * i;
    kids << page << " 0 R ";
    std::ostringstream content;
    content << (i % 3) * 0.4 << " 0.5 " << 1 - (i % 2) * 0.7 << " rg 36 36 " << width - 72 << " " << height - 72
            << " re f 0.1 0.1 0.1 rg 72 " << height / 2 << " " << width / 3 << " " << height / 5 << " re f";
    std::ostringstream page_object, content_object;
    page_object << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " << width << " " << height << "] /Contents "
                << page + 1 << " 0 R >>";
    content_object << "<< /Length " << content.str().size() << " >>\nstream\n" << content.str() << "\nendstream";
    objects.push_back(page_object.str());
    objects.push_back(content_object.str());
  }
  objects[1] = "<< /Type /Pages /Kids [" + kids.str() + "] /Count " + std::to_string(pages) + " >>";
  std::ostringstream pdf;
  pdf << "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.str().size());
    pdf << i + 1 << " 0 obj\n" << objects[i] << "\nendobj\n";
  }
  const std::size_t xref = pdf.str().size();
  pdf << "xref\n0 " << objects.size() + 1 << "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    const std::string number = std::to_string(offset);
    pdf << std::string(10 - number.size(), '0') << number << " 00000 n \n";
  }
  pdf << "trailer\n<< /Size " << objects.size() + 1 << " /Root 1 0 R >>\nstartxref\n" << xref << "\n%%EOF\n";
  std::ofstream(path) << pdf.str();
  return static_cast<bool>(std::ifstream(path));
}

}  // namespace velta::apptest
