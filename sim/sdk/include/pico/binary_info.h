// Binary information entries describe an image to picotool. The simulated
// chip has no flash to read them from, so the macros declare nothing.
#ifndef _PICO_BINARY_INFO_H
#define _PICO_BINARY_INFO_H

#ifdef __cplusplus
#define bi_decl(_decl) static_assert(true, "binary info")
#else
#define bi_decl(_decl) _Static_assert(1, "binary info")
#endif
#define bi_decl_if_func_used(_decl) bi_decl(_decl)
#define bi_decl_with_attr(_decl, _attr) bi_decl(_decl)

#define bi_program_name(name)
#define bi_program_description(description)
#define bi_program_version_string(version_string)
#define bi_program_build_date_string(date_string)
#define bi_program_url(url)
#define bi_program_feature(feature)
#define bi_program_build_attribute(attr)
#define bi_program_feature_group(tag, id, name)
#define bi_1pin_with_func(p0, func)
#define bi_2pins_with_func(p0, p1, func)
#define bi_3pins_with_func(p0, p1, p2, func)
#define bi_4pins_with_func(p0, p1, p2, p3, func)
#define bi_1pin_with_name(p0, name)
#define bi_2pins_with_names(p0, name0, p1, name1)
#define bi_3pins_with_names(p0, name0, p1, name1, p2, name2)
#define bi_4pins_with_names(p0, name0, p1, name1, p2, name2, p3, name3)
#define bi_pin_mask_with_name(pmask, label)
#define bi_pin_mask_with_names(pmask, label)

#endif
