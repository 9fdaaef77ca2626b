/* Writes libical_sample.ics with libical (Debian libical-dev):
   cc make_libical.c $(pkg-config --cflags --libs libical) -o make_libical && ./make_libical */
#include <libical/ical.h>
#include <stdio.h>

static icalcomponent* event(const char* uid, const char* summary, struct icaltimetype start) {
    icalcomponent* ev = icalcomponent_new_vevent();
    icalcomponent_add_property(ev, icalproperty_new_uid(uid));
    icalcomponent_add_property(ev, icalproperty_new_dtstamp(icaltime_from_string("20261201T080000Z")));
    icalcomponent_add_property(ev, icalproperty_new_summary(summary));
    icalcomponent_add_property(ev, icalproperty_new_dtstart(start));
    return ev;
}

int main(void) {
    icalcomponent* cal = icalcomponent_new_vcalendar();
    icalcomponent_add_property(cal, icalproperty_new_prodid("-//libical sample//Lunar//ZH"));
    icalcomponent_add_property(cal, icalproperty_new_version("2.0"));

    /* A lunar birthday from another RSCALE writer: leap month and ordinary month. */
    icalcomponent* ev = event("lunar-bday@sample", "奶奶生日（农历）", icaltime_from_string("20200608"));
    icalcomponent_add_property(ev, icalproperty_new_rrule(
        icalrecurrencetype_from_string("RSCALE=CHINESE;FREQ=YEARLY;BYMONTH=4,4L;BYMONTHDAY=17")));
    icalcomponent_add_property(ev, icalproperty_new_description(
        "每年四月十七, 闰四月也算; 记得买蛋糕\n第二行：很长很长很长很长很长很长很长很长很长很长的说明"));
    icalcomponent_add_component(cal, ev);

    /* A lunar rule without BYMONTH: the month and day come from DTSTART (2024-09-17 is 八月十五). */
    ev = event("moon@sample", "Mid-autumn", icaltime_from_string("20240917"));
    icalcomponent_add_property(ev, icalproperty_new_rrule(icalrecurrencetype_from_string("RSCALE=CHINESE;FREQ=YEARLY")));
    icalcomponent_add_component(cal, ev);

    /* A timed event in a named zone with its VTIMEZONE. */
    icaltimezone* tokyo = icaltimezone_get_builtin_timezone("Asia/Tokyo");
    icalcomponent_add_component(cal, icalcomponent_new_clone(icaltimezone_get_component(tokyo)));
    ev = event("tokyo@sample", "Flight, seat 12A; gate \\ B", icaltime_from_string("20241231T233000"));
    icalproperty_set_parameter(icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY),
                               icalparameter_new_tzid(icaltimezone_get_tzid(tokyo)));
    icalcomponent_add_component(cal, ev);

    /* An event that ends: a yearly rule with COUNT is none of the memo kinds. */
    ev = event("course@sample", "Course", icaltime_from_string("20240305"));
    icalcomponent_add_property(ev, icalproperty_new_rrule(icalrecurrencetype_from_string("FREQ=YEARLY;COUNT=3")));
    icalcomponent_add_component(cal, ev);

    icalcomponent* todo = icalcomponent_new_vtodo();
    icalcomponent_add_property(todo, icalproperty_new_summary("A task"));
    icalcomponent_add_component(cal, todo);

    FILE* f = fopen("libical_sample.ics", "wb");
    if (!f) return 1;
    fputs(icalcomponent_as_ical_string(cal), f);
    fclose(f);
    return 0;
}
