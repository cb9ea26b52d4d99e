# Runs inside Scribus: opens AIEXPORT_AI and saves it as the PDF AIEXPORT_PDF. An EPS file
# is placed on a new page of its box (AIEXPORT_BOX: x0 y0 x1 y1), the way Scribus imports it.
import os
import traceback

import scribus

try:
    source = os.environ["AIEXPORT_AI"]
    if source.lower().endswith((".eps", ".epsf")):
        # openDoc would wait in the import dialog, which nobody answers here.
        x0, y0, x1, y1 = (float(v) for v in os.environ["AIEXPORT_BOX"].split())
        scribus.newDocument((x1 - x0, y1 - y0), (0, 0, 0, 0), scribus.PORTRAIT, 1,
                            scribus.UNIT_POINTS, scribus.PAGE_1, 0, 1)
        scribus.placeEPS(source, 0, 0)
    else:
        scribus.openDoc(source)
    pdf = scribus.PDFfile()
    pdf.file = os.environ["AIEXPORT_PDF"]
    pdf.save()
except Exception:  # noqa: BLE001 - the caller reports the missing PDF with this text
    with open(os.environ["AIEXPORT_PDF"] + ".error", "w", encoding="utf-8") as f:
        f.write(traceback.format_exc())
