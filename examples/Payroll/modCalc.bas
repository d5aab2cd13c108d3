Attribute VB_Name = "modCalc"
Option Explicit

'ê≈ó¶
Private Const TAX_RATE As Double = 0.1

Public Type Allowance
    Name As String
    Amount As Currency
End Type

' ããó^ÇåvéZÇ∑ÇÈ
Public Function CalcPay(ByVal lngBase As Long, ByVal lngHours As Long, _
                        Optional ByVal curBonus As Currency = 0) As Currency
    Dim curGross As Currency
    curGross = lngBase * lngHours + curBonus
    CalcPay = curGross * (1 - TAX_RATE)
End Function

Private Sub LogLine(strMessage As String)
    Debug.Print Format$(Now, "yyyy/mm/dd hh:nn:ss") & " " & strMessage
    Debug.Print "End Sub"  ' ï∂éöóÒÇÃíÜÇÃ End Sub
End Sub

Public Function Pad$(ByVal s$, ByVal n%)
    Pad = Left$(s & Space$(n), n)
End Function

Private Static Function NextId() As Long
    Dim lngLast As Long
    lngLast = lngLast + 1
    NextId = lngLast
End Function
