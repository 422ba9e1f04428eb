"""Searching the navigation database and editing the flight plan.

XPLMFindNavAid finds navaids by type (types may be added together), identifier or name
fragment, frequency, and nearness to a position; None leaves a criterion out.
XPLMGetNavAidInfo and XPLMGetFMSEntryInfo fill one list per value wanted and take None
for the others. The FMS holds 100 entries, each a navaid or a latitude and longitude.
"""
import math

from XPLMNavigation import *
from XPLMDataAccess import XPLMFindDataRef, XPLMGetDatad

KINDS = [(xplm_Nav_Airport, "airport"), (xplm_Nav_VOR, "VOR"), (xplm_Nav_NDB, "NDB"),
         (xplm_Nav_ILS, "ILS"), (xplm_Nav_Fix, "fix")]
NAMES = dict(KINDS + [(xplm_Nav_LatLon, "lat/lon")])


def DistanceNm(lat1, lon1, lat2, lon2):
    lat1, lon1, lat2, lon2 = map(math.radians, (lat1, lon1, lat2, lon2))
    a = math.sin((lat2 - lat1) / 2) ** 2 + math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2
    return 2 * math.asin(math.sqrt(a)) * 3440.065


def Radio(kind, frequency):
    # NDBs in kHz, the other radios in units of 10 kHz.
    if kind == xplm_Nav_NDB:
        return ", %d kHz" % frequency
    if frequency:
        return ", %.2f MHz" % (frequency / 100.0)
    return ""


def Find(kind, ident):
    return XPLMFindNavAid(None, ident, None, None, None, kind)


class Korvane:
    def XPluginStart(self):
        return "Nav Aids", "korvane.examples.navaids", "Lists the navaids near the aircraft and plans a flight"

    def XPluginEnable(self):
        lat = XPLMGetDatad(XPLMFindDataRef("sim/flightmodel/position/latitude"))
        lon = XPLMGetDatad(XPLMFindDataRef("sim/flightmodel/position/longitude"))
        print("Nav Aids: aircraft at %.4f %.4f" % (lat, lon))
        for kind, label in KINDS:
            ref = XPLMFindNavAid(None, None, lat, lon, None, kind)
            if ref == XPLM_NAV_NOT_FOUND:
                print("Nav Aids: no %s in the database" % label)
                continue
            ident, name, navLat, navLon, frequency = [], [], [], [], []
            XPLMGetNavAidInfo(ref, None, navLat, navLon, None, frequency, None, ident, name, None)
            print("Nav Aids: nearest %s %s (%s) %.1f nm%s"
                  % (label, ident[0], name[0], DistanceNm(lat, lon, navLat[0], navLon[0]), Radio(kind, frequency[0])))

        # Out of Seattle to Paine Field: altitudes in feet.
        XPLMSetFMSEntryInfo(0, Find(xplm_Nav_Airport, "KSEA"), 433)
        XPLMSetFMSEntryInfo(1, Find(xplm_Nav_VOR, "SEA"), 3000)
        XPLMSetFMSEntryLatLon(2, 47.65, -122.45, 5000)
        XPLMSetFMSEntryInfo(3, Find(xplm_Nav_Fix, "GLASR"), 4000)
        XPLMSetFMSEntryInfo(4, Find(xplm_Nav_Airport, "KPAE"), 606)
        XPLMSetDestinationFMSEntry(1)
        self.ListFlightPlan()
        return 1

    def ListFlightPlan(self):
        destination = XPLMGetDestinationFMSEntry()
        count = XPLMCountFMSEntries()
        print("Nav Aids: flight plan of %d entries, flying to entry %d" % (count, destination))
        for index in range(count):
            kind, ident, ref, altitude, lat, lon = [], [], [], [], [], []
            XPLMGetFMSEntryInfo(index, kind, ident, ref, altitude, lat, lon)
            print("Nav Aids: %d %-7s %-5s %5d ft at %.4f %.4f"
                  % (index, NAMES.get(kind[0], "?"), ident[0] or "-", altitude[0], lat[0], lon[0]))
        destinationRef = XPLMGetGPSDestination()
        ident = []
        XPLMGetNavAidInfo(destinationRef, None, None, None, None, None, None, ident, None, None)
        print("Nav Aids: GPS destination %s %s" % (NAMES.get(XPLMGetGPSDestinationType(), "none"), ident[0]))

    def XPluginDisable(self):
        # Leave the FMS as we found it.
        for index in range(XPLMCountFMSEntries()):
            XPLMClearFMSEntry(index)
        XPLMSetDestinationFMSEntry(0)
        print("Nav Aids: flight plan cleared, %d entries" % XPLMCountFMSEntries())

    def XPluginReceiveMessage(self, sender, message, param):
        pass

    def XPluginStop(self):
        pass
