# Runs inside Scribus: opens AIEXPORT_AI and saves it as the PDF AIEXPORT_PDF.
import os
import traceback

import scribus

try:
    scribus.openDoc(os.environ["AIEXPORT_AI"])
    pdf = scribus.PDFfile()
    pdf.file = os.environ["AIEXPORT_PDF"]
    pdf.save()
except Exception:  # noqa: BLE001 - the caller reports the missing PDF with this text
    with open(os.environ["AIEXPORT_PDF"] + ".error", "w", encoding="utf-8") as f:
        f.write(traceback.format_exc())
