// The images are attached by qt_add_resources; this unit only gives the library a body.
namespace k40_resources_detail {
int anchor = 0;
}
